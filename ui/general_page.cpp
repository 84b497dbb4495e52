#include "ui/general_page.h"

#include <utility>

#include "platform/code_page.h"
#include "platform/string_table.h"
#include "ui/marking_dialogs.h"
#include "ui/option_switches.h"
#include "ui/options_sheet.h"

namespace quorvel::ui {
namespace {

constexpr const char* kFolderControl = "spam-folder";

std::string FolderPath(const UserSettings& settings) {
  auto folder = settings.GetSpamFolder();
  return folder ? platform::WideToUtf8(folder->friendlyName) : std::string();
}

}  // namespace

std::string GeneralPage::Id() const { return kGeneralPage; }

Page GeneralPage::Build() {
  Page page{.id = kGeneralPage, .title = "General"};
  page.controls.push_back(
      {.kind = ControlKind::kLabel, .id = "spam-folder-label", .label = "Spam folder:"});
  page.controls.push_back({.kind = ControlKind::kTextBox,
                           .id = kFolderControl,
                           .readOnly = true,
                           .text = FolderPath(copy_)});
  for (Control& box : SwitchBoxes(kGeneralPage, copy_)) page.controls.push_back(std::move(box));
  page.controls.push_back({.kind = ControlKind::kLabel,
                           .id = "marking-label",
                           .label = "Operations for messages you mark as Good or Junk E-mail"});
  page.buttons = {
      {.id = kPickFolderButton,
       .text = "&Select Folder...",
       .closes = false,
       .enabled = static_cast<bool>(context_.pickFolder)},
      {.id = kMarkingOptionsButton, .text = "&Edit...", .closes = false},
  };
  return page;
}

bool GeneralPage::OnButton(DialogSession& session, std::int32_t button) {
  if (button == kPickFolderButton) {
    if (!context_.pickFolder) return true;
    if (auto folder = context_.pickFolder()) UseFolder(session, *folder);
    return true;
  }
  if (button == kMarkingOptionsButton) {
    RunMarkingOptions(context_.ui, copy_);
    return true;
  }
  return false;
}

bool GeneralPage::UseFolder(DialogSession& session, const PickedFolder& folder) {
  if (!folder.holdsMail) {
    context_.ui.Show(kNotMailFolder, std::string(platform::kProductName),
                     platform::MB_OK | platform::MB_ICONWARNING);
    return false;
  }
  copy_.SetSpamFolder({.entryId = platform::AnsiToWide(folder.entryId),
                       .friendlyName = platform::Utf8ToWide(folder.path)});
  Control value = *session.dialog().Find(kFolderControl);
  value.text = folder.path;
  session.Update(DialogChange::ControlValues(std::move(value)));
  return true;
}

void GeneralPage::Take(const Dialog& dialog) { TakeSwitches(kGeneralPage, dialog, copy_); }

}  // namespace quorvel::ui
