#include "desktop/screenshot_gallery.h"

#include <QApplication>
#include <QEventLoop>
#include <QMessageBox>
#include <QPixmap>
#include <QProgressDialog>
#include <QTimer>

#include "desktop/dialog_view.h"
#include "desktop/explorer_window.h"
#include "desktop/host_link.h"
#include "desktop/spam_popup.h"
#include "platform/clock.h"

namespace quorvel::desktop {
namespace {

ui::Control Make(ui::ControlKind kind, std::string id, std::string label) {
  ui::Control c;
  c.kind = kind;
  c.id = std::move(id);
  c.label = std::move(label);
  return c;
}

ui::Control ListOf(std::string id, std::vector<std::vector<std::string>> rows) {
  ui::Control list = Make(ui::ControlKind::kList, std::move(id), "");
  list.columns = {"Name", "E-mail Address"};
  list.rows = std::move(rows);
  list.multiSelect = true;
  return list;
}

ui::Button Plain(std::int32_t id, std::string text, bool closes = false) {
  ui::Button b = ui::RoleButton(ui::ButtonRole::kPlain, std::move(text));
  b.id = id;
  b.closes = closes;
  return b;
}

ui::Page ListPage(std::string id, std::string title, std::string list,
                  std::vector<std::vector<std::string>> rows) {
  ui::Page page{std::move(id), std::move(title), {}, {}};
  page.controls.push_back(ListOf(list, std::move(rows)));
  page.buttons.push_back(Plain(100, "&Add..."));
  ui::Button remove = Plain(101, "&Remove");
  remove.enabledBy = {list, {"one", "many"}};
  page.buttons.push_back(remove);
  ui::Button edit = Plain(102, "E&dit...");
  edit.enabledBy = {list, {"one"}};
  page.buttons.push_back(edit);
  return page;
}

bool Save(QWidget& widget, const QString& path, int* written, QString* error) {
  widget.show();
  QApplication::processEvents();
  if (!widget.grab().save(path, "PNG")) {
    *error = "cannot write " + path;
    return false;
  }
  ++*written;
  return true;
}

// The explorer of the default profile's host, when one runs (none is started here).
void SaveExplorer(const QString& folder, int* written, QString* error) {
  HostAddress address;
  std::string ignored;
  if (!ResolveHost("", &address, &ignored)) return;
  HostLink link(address, {});
  host::Outcome outcome;
  if (!link.Connect(&outcome)) return;
  ExplorerWindow window(link);
  QEventLoop wait;
  QObject::connect(&window, &ExplorerWindow::folderShown, &wait, &QEventLoop::quit);
  QTimer::singleShot(15000, &wait, &QEventLoop::quit);
  window.show();
  window.Connect();
  wait.exec();
  QApplication::processEvents();
  Save(window, folder + "/explorer.png", written, error);
}

}  // namespace

std::vector<GalleryDialog> GalleryDialogs() {
  std::vector<GalleryDialog> all;
  {
    ui::Dialog d;
    d.kind = "confirm-check-folder";
    d.title = "Quorvel";
    ui::Control text =
        Make(ui::ControlKind::kLabel, "text", "Are you sure you want to check \"Inbox\" folder?");
    ui::Control sub = Make(ui::ControlKind::kCheckBox, "subfolders", "&Including all subfolders");
    sub.checked = true;
    d.controls = {text, sub};
    d.buttons = {ui::RoleButton(ui::ButtonRole::kOk, "&Yes"),
                 ui::RoleButton(ui::ButtonRole::kCancel, "&No")};
    d.buttons[0].id = 6;
    d.buttons[1].id = 7;
    d.defaultButton = 6;
    d.cancelButton = 7;
    d.affirmativeButton = 6;
    all.push_back({"confirm-check-folder.png", d});
  }
  {
    ui::Dialog d;
    d.kind = "options";
    d.title = "Quorvel";
    d.style = ui::DialogStyle::kSheet;
    ui::Page general{"general", "General", {}, {}};
    ui::Control path = Make(ui::ControlKind::kTextBox, "spam-folder", "Spam folder:");
    path.text = "Inbox -> Spam";
    path.readOnly = true;
    general.controls = {
        path,
        Make(ui::ControlKind::kCheckBox, "read", "&Automatically mark all spam messages as Read"),
        Make(ui::ControlKind::kCheckBox, "tray", "Show tray notification when new spam received")};
    general.controls[2].checked = true;
    d.pages.push_back(general);
    d.pages.push_back(ListPage("white", "White List", "white-list",
                               {{"Ann Example", "ann@example.org"},
                                {"*@debian.org", "*@debian.org"},
                                {"Bob", "bob@example.net"}}));
    d.pages.push_back(
        ListPage("black", "Black List", "black-list", {{"*@spam.example", "*@spam.example"}}));
    d.currentPage = "white";
    d.buttons = {ui::RoleButton(ui::ButtonRole::kOk, "OK"),
                 ui::RoleButton(ui::ButtonRole::kCancel, "Cancel"),
                 ui::RoleButton(ui::ButtonRole::kHelp, "&Help")};
    all.push_back({"options-sheet.png", d});
  }
  {
    ui::Dialog d;
    d.kind = "test-message";
    d.title = "Test Message";
    d.headline = "Message is recognized as Junk e-mail";
    ui::Control reason = Make(ui::ControlKind::kTextBox, "reason", "Reason:");
    reason.text = "Bayesian Filter";
    reason.readOnly = true;
    ui::Control info = Make(ui::ControlKind::kTextBox, "information", "Information:");
    info.multiline = true;
    info.readOnly = true;
    info.text = "Total Score is 0.99\nviagra\t0.99\nfree\t0.93\nmeeting\t0.12";
    d.controls = {reason, info};
    d.buttons = {ui::RoleButton(ui::ButtonRole::kOk, "OK")};
    d.cancelButton = 1;
    all.push_back({"test-message.png", d});
  }
  {
    ui::Dialog d;
    d.kind = "wizard";
    d.title = "Quorvel Setup";
    d.style = ui::DialogStyle::kWizard;
    ui::Page folders{"folders", "Choose the folders with good mail", {}, {}};
    ui::Control list = ListOf("folders", {{"Inbox", ""}, {"Sent", ""}, {"Archive", ""}});
    list.columns = {"Folder"};
    list.rows = {{"Inbox"}, {"Sent"}, {"Archive"}};
    list.rowChecked = {true, true, false};
    folders.controls = {list};
    d.pages = {folders};
    d.buttons = {ui::RoleButton(ui::ButtonRole::kBack, "< &Back"),
                 ui::RoleButton(ui::ButtonRole::kNext, "&Next >"),
                 ui::RoleButton(ui::ButtonRole::kCancel, "Cancel")};
    d.defaultButton = ui::kNextButton;
    all.push_back({"wizard-page.png", d});
  }
  return all;
}

bool WriteScreenshots(const QString& folder, int* written, QString* error) {
  *written = 0;
  for (GalleryDialog& shown : GalleryDialogs()) {
    DialogView view(shown.dialog);
    if (!Save(view, folder + "/" + shown.file, written, error)) return false;
  }
  QMessageBox box(QMessageBox::Question, "Quorvel",
                  "Are you sure you want to delete all items from the spam folder?",
                  QMessageBox::Yes | QMessageBox::No);
  if (!Save(box, folder + "/message-box.png", written, error)) return false;
  QProgressDialog progress("Checking folder for spam...", "Cancel", 0, 16384);
  progress.setWindowTitle("Quorvel");
  progress.setValue(6000);
  if (!Save(progress, folder + "/progress.png", written, error)) return false;
  platform::FakeClock clock;
  SpamPopup popup(clock);
  popup.ShowCount(3);
  clock.AdvanceMs(10000);
  for (int i = 0; i < 200 && popup.model().state() != ui::TrayPopup::State::kWaiting; ++i) {
    popup.Advance();
    clock.AdvanceMs(20);
  }
  if (!Save(popup, folder + "/spam-popup.png", written, error)) return false;
  SaveExplorer(folder, written, error);
  return error->isEmpty();
}

}  // namespace quorvel::desktop
