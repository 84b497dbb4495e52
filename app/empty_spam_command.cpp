// quorvel empty-spam
//
// Deletes every message of the spam folder for good, after asking (--yes answers;
// without a person to ask, nothing is deleted). A spam folder that is the Inbox is
// never emptied.
//
// Exit status: 0 (also when the question was answered No); 1 without a profile or
// when the spam folder is the Inbox; 2 for usage errors.
#include <CLI/CLI.hpp>
#include <memory>
#include <ostream>

#include "app/add_in_click.h"
#include "app/commands.h"
#include "outlook/add_in.h"
#include "platform/string_table.h"

namespace quorvel::app {
namespace {

int EmptySpam(CommandIo& io) {
  std::shared_ptr<host::MAPIFolder> inbox = FindCommandFolder(io, "empty-spam", "");
  if (!inbox) return kExitFailure;
  ClickResult clicked = ClickAddIn(io, outlook::kCmdEmptySpamFolder, inbox, host::Selection());
  if (!clicked.clicked) return kExitFailure;
  for (const std::string& text : clicked.shown) {
    if (text == platform::LoadString(210)) return kExitFailure;
  }
  return kExitOk;
}

}  // namespace

Command EmptySpamCommand() {
  return {"empty-spam", "Delete every message of the spam folder for good",
          [](CLI::App& sub, CommandIo& io) { sub.callback([&io] { io.status = EmptySpam(io); }); }};
}

}  // namespace quorvel::app
