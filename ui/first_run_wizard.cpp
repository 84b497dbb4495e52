#include "ui/first_run_wizard.h"

#include <algorithm>

#include "ui/dialog_change.h"

namespace quorvel::ui::wizard {
namespace {

Control Label(std::string id, std::string_view text) {
  Control c;
  c.kind = ControlKind::kLabel;
  c.id = std::move(id);
  c.text = std::string(text);
  return c;
}

Page MakePage(std::string id, std::string title, std::vector<Control> controls) {
  Page page;
  page.id = std::move(id);
  page.title = std::move(title);
  page.controls = std::move(controls);
  return page;
}

}  // namespace

Dialog WizardDialog(bool skipScan) {
  Dialog d;
  d.kind = "first-run-wizard";
  d.title = std::string(kTitle);
  d.style = DialogStyle::kWizard;
  if (!skipScan) {
    d.pages.push_back(
        MakePage(kWelcome, "Welcome",
                 {Label("welcome-text", kWelcomeText), Label("welcome-continue", kContinue)}));
    d.pages.push_back(
        MakePage(kWhiteList, "White List",
                 {Label("white-list-text", kWhiteListText),
                  Label("white-list-note", kWhiteListNote), Label(kWhiteListContinue, "")}));
    Control list;
    list.kind = ControlKind::kList;
    list.id = kFolderList;
    list.columns = {"Folder"};
    list.multiSelect = true;
    Page folders =
        MakePage(kFolders, "Folders",
                 {Label("folders-text", kFoldersText), list, Label("folders-next", kFoldersNext)});
    Button add = RoleButton(ButtonRole::kPlain, "&Add");
    add.id = kAddButton;
    add.closes = false;
    Button remove = RoleButton(ButtonRole::kPlain, "&Remove");
    remove.id = kRemoveButton;
    remove.closes = false;
    remove.enabledBy = {kFolderList, {"one", "many"}};
    folders.buttons = {add, remove};
    d.pages.push_back(std::move(folders));
  }
  d.pages.push_back(
      MakePage(kScan, "Scan", {Label("scan-text", kScanText), Label(kScanContinue, "")}));
  Control check;
  check.kind = ControlKind::kCheckBox;
  check.id = kCheckInbox;
  check.label = std::string(kCheckInboxLabel);
  d.pages.push_back(MakePage(
      kDone, "Done", {Label("done-text", kDoneText), Label(kSpamFolder, kSpamFolderIs), check}));
  // The sheet's own buttons; Cancel stays disabled (closing the window still ends it).
  Button cancel = RoleButton(ButtonRole::kCancel, "Cancel");
  cancel.enabled = false;
  d.buttons = {RoleButton(ButtonRole::kBack, "< &Back"), RoleButton(ButtonRole::kNext, "&Next >"),
               RoleButton(ButtonRole::kFinish, "&Finish"), cancel};
  d.validatePage = [](const Dialog& dialog, const std::string& page) -> std::string {
    if (page != kFolders) return {};
    const Control* list = dialog.Find(kFolderList);
    return list && !list->rows.empty() ? std::string() : std::string(kSelectAFolder);
  };
  return d;
}

Dialog OfferDialog() {
  Dialog d;
  d.kind = "wizard";
  d.title = std::string(kTitle);
  d.controls = {
      Label("welcome-text", kWelcomeText),
      Label("how", "The first-run wizard is waiting: run \"quorvel wizard\" to start it.")};
  Button later = RoleButton(ButtonRole::kPlain, "&Later");
  later.id = kLaterButton;
  Button skip = RoleButton(ButtonRole::kPlain, "&Skip the wizard");
  skip.id = kSkipButton;
  d.buttons = {later, skip};
  d.defaultButton = kLaterButton;
  d.cancelButton = kLaterButton;
  d.affirmativeButton = kLaterButton;
  return d;
}

bool ChosenFolders::Add(Folder folder, Dialog& dialog, DialogSession* session) {
  const bool known = std::any_of(folders_.begin(), folders_.end(),
                                 [&](const Folder& f) { return f.entryId == folder.entryId; });
  if (known) return false;
  const auto row = static_cast<std::int32_t>(folders_.size());
  DialogChange change = DialogChange::RowsInserted(kFolderList, row, {{folder.path}});
  folders_.push_back(std::move(folder));
  if (session) {
    session->Update(change);
  } else {
    ApplyChange(dialog, change);
  }
  return true;
}

void ChosenFolders::RemoveSelected(Dialog& dialog, DialogSession& session) {
  const Control* list = dialog.Find(kFolderList);
  if (!list) return;
  std::vector<std::int32_t> selected = list->selectedRows;
  std::sort(selected.begin(), selected.end());
  for (auto it = selected.rbegin(); it != selected.rend(); ++it) {
    const auto row = static_cast<std::size_t>(*it);
    if (row >= folders_.size()) continue;
    folders_.erase(folders_.begin() + static_cast<std::ptrdiff_t>(row));
    session.Update(DialogChange::RowsRemoved(kFolderList, *it, 1));
  }
}

}  // namespace quorvel::ui::wizard
