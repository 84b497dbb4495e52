// quorvel folders [--json]
//
// Lists the profile's folders, parents before children: one line per folder with its
// path (the name other commands take: "Inbox", "Inbox/Spam"), a tab, its number of
// messages, a tab, the unread ones and, for a default folder, a tab and which one it
// is ("inbox", "outbox", "sent", "deleted", "drafts", "contacts"; "junk" for the
// store's own junk folder). With --json one
// object per line: "path", "entryId", "depth", "items", "unread", "type" ("mail" or
// "contacts") and "special" ("" for none).
//
// Exit status: 0; 1 without a profile or when the profile's store cannot be opened;
// 2 for usage errors.
#include <CLI/CLI.hpp>
#include <memory>
#include <nlohmann/json.hpp>
#include <ostream>

#include "app/commands.h"
#include "app/listing_text.h"
#include "host/mailbox_listing.h"
#include "host/profile_host.h"

namespace quorvel::app {
namespace {

int ListFolders(bool json, CommandIo& io) {
  if (io.host == nullptr) {
    io.err << "quorvel: folders lists a profile's folders, and there is no profile "
              "(see 'quorvel profile add')\n";
    return kExitFailure;
  }
  auto nameSpace = io.host->application().Session();
  host::Outcome listed = host::ListFolders(*nameSpace, [&](const host::FolderRow& row) {
    if (json) {
      nlohmann::json line = {
          {"path", row.path},
          {"entryId", row.entryId},
          {"depth", row.depth},
          {"items", row.itemCount},
          {"unread", row.unreadCount},
          {"type", row.defaultItemType == host::olContactItem ? "contacts" : "mail"},
          {"special", row.special},
      };
      io.out << line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
    } else {
      io.out << EscapeField(row.path) << '\t' << row.itemCount << '\t' << row.unreadCount;
      if (!row.special.empty()) io.out << '\t' << row.special;
      io.out << "\n";
    }
    return static_cast<bool>(io.out);
  });
  if (!listed.ok()) {
    io.err << "quorvel: " << listed.message << "\n";
    return kExitFailure;
  }
  return io.out ? kExitOk : kExitIoError;
}

}  // namespace

Command FoldersCommand() {
  return {"folders", "List the profile's folders by the names other commands take",
          [](CLI::App& sub, CommandIo& io) {
            auto json = std::make_shared<bool>(false);
            sub.add_flag("--json", *json, "One JSON object per folder");
            sub.callback([json, &io] { io.status = ListFolders(*json, io); });
          }};
}

}  // namespace quorvel::app
