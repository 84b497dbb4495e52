// quorvel wizard
//
// Runs the first-run wizard (again) in the profile's host: the White List from the
// address books, the Contacts folder and Sent Items, the mail base from the folders
// chosen, and the Inbox check at the end. A wizard the host left waiting for a person
// is this one: running it answers the host's offer. Exit status 0 when the wizard
// ran (whether finished or closed), 1 when no host could run it.
#include <CLI/CLI.hpp>
#include <optional>

#include "app/command.h"
#include "app/commands.h"
#include "host/command_request.h"
#include "outlook/add_in.h"

namespace quorvel::app {
namespace {

int RunWizard(CommandIo& io) {
  if (io.host == nullptr || io.presenter == nullptr) {
    io.err << "quorvel: wizard runs inside a host only\n";
    return kExitFailure;
  }
  host::Application& application = io.host->application();
  auto inbox = application.Session()->GetDefaultFolder(host::olFolderInbox);
  if (!inbox.ok()) {
    io.err << "quorvel: the Inbox cannot be opened\n";
    return kExitFailure;
  }
  // The wizard's pages go to whoever asked for it (a job's client; a host of the
  // command's own asks its terminal already, through the application's presenter).
  std::optional<host::Application::PresenterScope> scope;
  if (io.presenter != &application.Presenter()) {
    scope.emplace(application, std::shared_ptr<ui::Ui>(std::shared_ptr<ui::Ui>(), io.presenter));
  }
  host::Outcome outcome = host::ClickForRequest(application, io.host->AddIns(),
                                                outlook::kCmdFirstRunWizard, *inbox, {});
  if (!outcome.ok()) {
    io.err << "quorvel: " << outcome.message << "\n";
    return kExitFailure;
  }
  return kExitOk;
}

}  // namespace

Command WizardCommand() {
  return {"wizard",
          "Run the first-run wizard: White List from address books, mail base from your mail",
          [](CLI::App& sub, CommandIo& io) { sub.callback([&io] { io.status = RunWizard(io); }); }};
}

}  // namespace quorvel::app
