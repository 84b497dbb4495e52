// quorvel support
//
// Opens a support request in the user's mail program (a mailto: link with the
// program's, the host's and the system's versions, opened with xdg-open); where
// nothing can open it, the request is printed to send by hand.
//
// Exit status: 0; 1 without a profile; 2 for usage errors.
#include <CLI/CLI.hpp>
#include <memory>

#include "app/add_in_click.h"
#include "app/commands.h"
#include "outlook/add_in.h"

namespace quorvel::app {
namespace {

int Support(CommandIo& io) {
  std::shared_ptr<host::MAPIFolder> inbox = FindCommandFolder(io, "support", "");
  if (!inbox) return kExitFailure;
  return ClickAddIn(io, outlook::kCmdEmailToSupport, inbox, host::Selection()).clicked
             ? kExitOk
             : kExitFailure;
}

}  // namespace

Command SupportCommand() {
  return {"support", "Write to support, with the versions they need to know",
          [](CLI::App& sub, CommandIo& io) { sub.callback([&io] { io.status = Support(io); }); }};
}

}  // namespace quorvel::app
