#include "ui/folder_choice.h"

namespace quorvel::ui {

std::optional<std::size_t> ChooseFolder(Ui& ui, const std::vector<std::string>& paths,
                                        std::string label) {
  Dialog ask;
  ask.kind = kFolderChoiceKind;
  ask.title = "Select Folder";
  ask.controls = {{.kind = ControlKind::kChoice,
                   .id = kFolderChoiceControl,
                   .label = std::move(label),
                   .options = paths}};
  ask.buttons = {RoleButton(ButtonRole::kOk, "OK"), RoleButton(ButtonRole::kCancel, "Cancel")};
  ask.defaultButton = ask.cancelButton;  // nobody to ask: nothing is chosen
  if (RunDialog(ui, ask) != platform::IDOK) return std::nullopt;
  const std::int32_t chosen = ask.Find(kFolderChoiceControl)->selected;
  if (chosen < 0 || static_cast<std::size_t>(chosen) >= paths.size()) return std::nullopt;
  return static_cast<std::size_t>(chosen);
}

}  // namespace quorvel::ui
