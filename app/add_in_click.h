// A command line that runs one of the add-in's commands inside the host: the folder
// and messages it names become the request's explorer (host/command_request.h), and
// what the add-in asks and shows goes through a CommandPresenter over the command's
// presenter, whose hook may look at a dialog first (to fill in what the command line
// already answered) or answer it itself (to print the dialog as JSON instead of
// showing it).
//
// Threading: the command's thread (a job's, or the short-lived host's).
#ifndef QUORVEL_APP_ADD_IN_CLICK_H_
#define QUORVEL_APP_ADD_IN_CLICK_H_

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/command.h"
#include "host/explorer.h"
#include "host/message_locator.h"
#include "ui/hooked_ui.h"

namespace quorvel::app {

// The command's presenter: a HookedUi that also keeps the texts of the message boxes
// and notices shown, which a command reads to tell how the add-in's command ended.
class CommandPresenter final : public ui::HookedUi {
 public:
  // REQUIRES: `inner` outlives this object.
  CommandPresenter(ui::Ui& inner, ui::DialogHook hook) : HookedUi(inner, std::move(hook)) {}

  int Show(const std::string& text, const std::string& caption, std::uint32_t style) override;
  void Notify(const std::string& title, const std::string& text) override;

  // The message box texts and notices shown so far, in order.
  std::vector<std::string> shown() const;

 private:
  mutable std::mutex mutex_;  // guards shown_
  std::vector<std::string> shown_;
};

// The folder `name` names (folder_path.h, or a Maildir folder's directory; "" the
// Inbox), for a command run inside a host. Null with the reason written to io.err.
std::shared_ptr<host::MAPIFolder> FindCommandFolder(CommandIo& io, const std::string& command,
                                                    const std::string& name);

struct ClickResult {
  bool clicked = false;              // false: no add-in has the command (said on io.err)
  std::vector<std::string> shown{};  // the message box texts and notices, in order
};

// Clicks `commandId` of the add-in with an explorer on `folder` showing `selection`,
// its questions and notices going through a CommandPresenter with `hook` over the
// presenter the host would use for this command.
ClickResult ClickAddIn(CommandIo& io, int commandId, std::shared_ptr<host::MAPIFolder> folder,
                       host::Selection selection, ui::DialogHook hook = {});

}  // namespace quorvel::app

#endif  // QUORVEL_APP_ADD_IN_CLICK_H_
