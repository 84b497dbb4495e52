// quorvel messages [--json] [--skip N] [--limit N] [FOLDER]
//
// Lists the messages of a folder (a path as 'quorvel folders' prints it, or a Maildir
// folder's directory; default the Inbox) in the folder's order: one line per message
// with the name other commands take for it (its file in a Maildir, FOLDER/UIDVALIDITY.UID
// where the store has UIDs, else its entry id), the date it arrived (local time),
// "read" or "unread", its size in bytes, the sender ("Name <address>") and the
// subject, separated by tabs; control characters in any field are escaped
// (listing_text.h). With --json one object per line: "name", "entryId", "sender"
// ({"name", "address"}), "subject", "date" (UTC, ISO 8601; "" when unknown), "read"
// and "size" (-1 when unknown). The messages are read and printed a batch at a time.
//
// Exit status: 0; 1 without a profile, for a folder that is not found or not in the
// profile; 2 for usage errors.
#include <CLI/CLI.hpp>
#include <memory>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>

#include "app/commands.h"
#include "app/listing_text.h"
#include "host/mailbox_listing.h"
#include "host/message_locator.h"
#include "host/profile_host.h"

namespace quorvel::app {
namespace {

struct MessagesOptions {
  bool json = false;
  std::uint32_t skip = 0;
  std::uint32_t limit = 0;
  std::string folder;
};

std::string SenderText(const host::ItemRow& row) {
  if (row.senderName.empty() || row.senderName == row.senderAddress) return row.senderAddress;
  if (row.senderAddress.empty()) return row.senderName;
  return row.senderName + " <" + row.senderAddress + ">";
}

int ListMessages(const MessagesOptions& options, CommandIo& io) {
  if (io.host == nullptr) {
    io.err << "quorvel: messages lists a folder of a profile, and there is no profile "
              "(see 'quorvel profile add')\n";
    return kExitFailure;
  }
  auto nameSpace = io.host->application().Session();
  host::MessageLocator locator(nameSpace, io.ResolvePath("."));
  std::shared_ptr<host::MAPIFolder> folder;
  host::Outcome found = locator.FindFolder(options.folder, &folder);
  if (!found.ok()) {
    io.err << "quorvel: " << found.message << "\n";
    return kExitFailure;
  }
  const auto print = [&](const host::ItemRow& row) {
    if (options.json) {
      nlohmann::json line = {
          {"name", row.name},
          {"entryId", row.entryId},
          {"sender", {{"name", row.senderName}, {"address", row.senderAddress}}},
          {"subject", row.subject},
          {"date", UtcTimeText(row.received)},
          {"read", row.read},
          {"size", row.size},
      };
      io.out << line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
    } else {
      io.out << EscapeField(row.name) << '\t' << LocalTimeText(row.received) << '\t'
             << (row.read ? "read" : "unread") << '\t' << row.size << '\t'
             << EscapeField(SenderText(row)) << '\t' << EscapeField(row.subject) << "\n";
    }
    return static_cast<bool>(io.out);
  };
  host::Outcome listed = host::ListItems(*nameSpace, *folder, options.skip, options.limit, print);
  if (!listed.ok()) {
    io.err << "quorvel: " << listed.message << "\n";
    return kExitFailure;
  }
  return io.out ? kExitOk : kExitIoError;
}

}  // namespace

Command MessagesCommand() {
  return {"messages", "List a folder's messages by the names other commands take",
          [](CLI::App& sub, CommandIo& io) {
            auto options = std::make_shared<MessagesOptions>();
            sub.add_flag("--json", options->json, "One JSON object per message");
            sub.add_option("--skip", options->skip, "Leave out the first N messages");
            sub.add_option("--limit", options->limit, "List at most N messages (0: all)");
            sub.add_option("FOLDER", options->folder,
                           "A folder as 'quorvel folders' names it, or a Maildir folder "
                           "(default: the Inbox)");
            sub.callback([options, &io] { io.status = ListMessages(*options, io); });
          }};
}

}  // namespace quorvel::app
