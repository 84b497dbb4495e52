// quorvel good [--domain] MESSAGE...
// quorvel junk MESSAGE...
// quorvel good|junk --piped
//
// Marks messages of the profile as good or junk e-mail, exactly as the toolbar's Good
// E-mail and Junk E-mail buttons do: the add-in learns them, adds their senders to the
// White or Black List, moves them (junk into the spam folder, good out of it into the
// Inbox) and asks what the buttons ask, as the marking options say. A MESSAGE is any
// name the message locator takes (a Maildir file, FOLDER/UID, a Message-ID, an entry
// id), or "-" for names read one per line from standard input:
//
//   notmuch search --output=files tag:spam | quorvel junk -
//
// --piped reads one whole message from standard input (a mail program's pipe) and
// marks the profile's message with its Message-ID.
//
// Messages of several folders are marked folder by folder, each folder's as one
// selection. A name outside the profile, or one that fits more than one message,
// refuses the whole command: nothing is marked. Names that find nothing are reported
// and the others marked.
//
// Exit status: 0 when every message was marked; 1 when a name found nothing (the rest
// were marked), when the command was refused, or without a profile; 2 for usage errors.
#include <CLI/CLI.hpp>
#include <iostream>
#include <istream>
#include <memory>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "app/commands.h"
#include "app/message_names.h"
#include "host/command_request.h"
#include "host/message_locator.h"
#include "host/profile_host.h"
#include "mapi/mime/input_bounds.h"
#include "mapi/mime/mime_message.h"
#include "mapi/queries.h"
#include "mapi/tags.h"
#include "outlook/add_in.h"

namespace quorvel::app {
namespace {

struct MarkingOptions {
  bool junk = false;
  bool domain = false;
  bool piped = false;
  std::vector<std::string> names;
};

// The Message-ID of the whole message on `in`; "" with *problem set when there is none.
std::string PipedMessageId(std::istream& in, std::string* problem) {
  std::string bytes;
  bytes.reserve(64 * 1024);
  char buffer[64 * 1024];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
    if (bytes.size() < mapi::kMaxMessageBytes) {
      bytes.append(buffer, static_cast<std::size_t>(in.gcount()));
    }
  }
  if (bytes.empty()) {
    *problem = "--piped reads a message from standard input, and there is none";
    return {};
  }
  std::shared_ptr<mapi::Message> message = mapi::OpenMimeMessageBytes(bytes);
  auto id = message ? mapi::HrGetOneProp(*message, mapi::PR_INTERNET_MESSAGE_ID)
                    : mapi::Result<mapi::PropValue>{mapi::E_FAIL, {}};
  const std::string* text = id.ok() ? std::get_if<std::string>(&id->value) : nullptr;
  if (text == nullptr || text->empty()) {
    *problem = "the message on standard input has no Message-ID to find it by";
    return {};
  }
  return *text;
}

int Mark(const MarkingOptions& options, CommandIo& io) {
  const char* what = options.junk ? "junk" : "good";
  if (io.host == nullptr) {
    io.err << "quorvel: " << what
           << " marks messages of a profile, and there is none (see 'quorvel profile add')\n";
    return kExitFailure;
  }
  if (options.piped == !options.names.empty()) {
    io.err << "quorvel: " << what << " takes either MESSAGE names or --piped\n";
    return kExitUsage;
  }
  std::istream& in = io.in != nullptr ? *io.in : std::cin;
  host::MessageLocator locator(io.host->application().Session(), io.ResolvePath("."));
  std::vector<host::LocatedMessage> found;
  std::vector<host::Outcome> failures;
  if (options.piped) {
    std::string problem;
    const std::string messageId = PipedMessageId(in, &problem);
    if (messageId.empty()) {
      io.err << "quorvel: " << problem << "\n";
      return kExitFailure;
    }
    std::istringstream none;
    LocateMessages(locator, {messageId}, none, io.err, &found, &failures);
  } else {
    LocateMessages(locator, options.names, in, io.err, &found, &failures);
  }
  for (const host::Outcome& failure : failures) {
    if (failure.code != host::OutcomeCode::kNotFound) {
      io.err << "quorvel: nothing was marked\n";
      return kExitFailure;
    }
  }
  if (found.empty()) {
    io.err << "quorvel: no message to mark\n";
    return kExitFailure;
  }
  const int command = options.junk     ? outlook::kCmdJunkEmail
                      : options.domain ? outlook::kCmdGoodEmailDomain
                                       : outlook::kCmdGoodEmail;
  host::Outcome clicked =
      host::ClickWithMessages(io.host->application(), io.host->AddIns(), command, found);
  if (!clicked.ok()) {
    io.err << "quorvel: " << clicked.message << "\n";
    return kExitFailure;
  }
  io.out << "marked " << found.size() << (found.size() == 1 ? " message" : " messages") << " as "
         << what << "\n";
  return failures.empty() ? kExitOk : kExitFailure;
}

void Setup(CLI::App& sub, CommandIo& io, bool junk) {
  auto options = std::make_shared<MarkingOptions>();
  options->junk = junk;
  if (!junk) {
    sub.add_flag("--domain", options->domain,
                 "Add the senders' whole domains to the White List, not their addresses");
  }
  sub.add_flag("--piped", options->piped,
               "Mark the profile's copy of the one message on standard input (by its "
               "Message-ID), for mail programs that pipe a message");
  sub.add_option("MESSAGE", options->names,
                 "A Maildir file, FOLDER/UID, a Message-ID or an entry id; - reads names "
                 "from standard input, one per line");
  sub.callback([options, &io] { io.status = Mark(*options, io); });
}

}  // namespace

Command GoodCommand() {
  return {"good", "Mark messages as good e-mail (learn, whitelist, move out of the spam folder)",
          [](CLI::App& sub, CommandIo& io) { Setup(sub, io, /*junk=*/false); }};
}

Command JunkCommand() {
  return {"junk", "Mark messages as junk e-mail (learn, blacklist, move into the spam folder)",
          [](CLI::App& sub, CommandIo& io) { Setup(sub, io, /*junk=*/true); }};
}

}  // namespace quorvel::app
