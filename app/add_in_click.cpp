#include "app/add_in_click.h"

#include <ostream>

#include "host/command_request.h"
#include "host/profile_host.h"

namespace quorvel::app {

int CommandPresenter::Show(const std::string& text, const std::string& caption,
                           std::uint32_t style) {
  {
    std::lock_guard lock(mutex_);
    shown_.push_back(text);
  }
  return HookedUi::Show(text, caption, style);
}

void CommandPresenter::Notify(const std::string& title, const std::string& text) {
  {
    std::lock_guard lock(mutex_);
    shown_.push_back(text);
  }
  HookedUi::Notify(title, text);
}

std::vector<std::string> CommandPresenter::shown() const {
  std::lock_guard lock(mutex_);
  return shown_;
}

std::shared_ptr<host::MAPIFolder> FindCommandFolder(CommandIo& io, const std::string& command,
                                                    const std::string& name) {
  if (io.host == nullptr || io.presenter == nullptr) {
    io.err << "quorvel: " << command
           << " acts on the mail of a profile, and there is no profile (see 'quorvel profile "
              "add')\n";
    return nullptr;
  }
  host::MessageLocator locator(io.host->application().Session(), io.ResolvePath("."));
  std::shared_ptr<host::MAPIFolder> folder;
  host::Outcome found = locator.FindFolder(name, &folder);
  if (!found.ok()) {
    io.err << "quorvel: " << found.message << "\n";
    return nullptr;
  }
  return folder;
}

ClickResult ClickAddIn(CommandIo& io, int commandId, std::shared_ptr<host::MAPIFolder> folder,
                       host::Selection selection, ui::DialogHook hook) {
  host::Application& application = io.host->application();
  // Over the presenter itself, not the application's forwarding one, which would
  // forward back to this.
  std::shared_ptr<ui::Ui> current = application.CurrentPresenter();
  CommandPresenter presenter(*current, std::move(hook));
  host::Outcome clicked;
  {
    host::Application::ThreadPresenterScope scope(application, &presenter);
    clicked = host::ClickForRequest(application, io.host->AddIns(), commandId, std::move(folder),
                                    std::move(selection));
  }
  if (!clicked.ok()) io.err << "quorvel: " << clicked.message << "\n";
  return {clicked.ok(), presenter.shown()};
}

}  // namespace quorvel::app
