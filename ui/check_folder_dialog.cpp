#include "ui/check_folder_dialog.h"

#include "platform/message_box.h"

namespace quorvel::ui {
namespace {

// 1234567 as "1,234,567".
std::string Grouped(std::uint64_t n) {
  std::string digits = std::to_string(n);
  std::string out;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out.push_back(',');
    out.push_back(digits[i]);
  }
  return out;
}

}  // namespace

Dialog CheckFolderConfirmation(const std::string& folderName, bool hasSubfolders) {
  Dialog d;
  d.kind = kCheckFolderKind;
  d.title = "Quorvel";
  Control text;
  text.id = "question";
  text.label = "Are you sure you want to check \"" + folderName + "\" folder?";
  d.controls.push_back(text);
  Control box;
  box.kind = ControlKind::kCheckBox;
  box.id = kSubfoldersControl;
  box.label = "&Including all subfolders";
  box.checked = hasSubfolders;
  box.enabled = hasSubfolders;
  d.controls.push_back(box);
  d.buttons = {Button{.id = platform::IDYES, .text = "&Yes", .role = ButtonRole::kOk},
               Button{.id = platform::IDNO, .text = "&No", .role = ButtonRole::kCancel}};
  d.defaultButton = platform::IDYES;
  d.affirmativeButton = platform::IDYES;
  d.cancelButton = platform::IDNO;
  return d;
}

bool IncludesSubfolders(const Dialog& answered) {
  const Control* box = answered.Find(kSubfoldersControl);
  return box != nullptr && box->checked && IsEnabled(answered, *box);
}

std::string CheckProgressText(std::uint32_t checked, std::uint32_t spam,
                              std::chrono::steady_clock::duration elapsed) {
  std::string text = Grouped(checked) + " checked, " + Grouped(spam) + " spam";
  const double seconds = std::chrono::duration<double>(elapsed).count();
  if (seconds >= 1.0 && checked > 0) {
    text += ", " + Grouped(static_cast<std::uint64_t>(checked / seconds + 0.5)) + "/s";
  }
  return text;
}

}  // namespace quorvel::ui
