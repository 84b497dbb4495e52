#include "ui/input_box.h"

#include <utility>

#include "platform/string_table.h"

namespace quorvel::ui {

Dialog InputBox(const std::string& caption, const std::string& prompt, const std::string& text) {
  Dialog dialog;
  dialog.kind = "input-box";
  dialog.title = caption;
  dialog.controls = {{.kind = ControlKind::kLabel, .id = "prompt", .label = prompt},
                     {.kind = ControlKind::kTextBox, .id = "text", .text = text}};
  dialog.buttons = {RoleButton(ButtonRole::kOk, "OK"), RoleButton(ButtonRole::kCancel, "Cancel")};
  return dialog;
}

std::optional<std::string> RunInputBox(
    Ui& ui, const std::string& caption, const std::string& prompt, const std::string& text,
    const std::function<std::string(const std::string&)>& check) {
  Dialog dialog = InputBox(caption, prompt, text);
  for (;;) {
    if (ui.Present(dialog) != platform::IDOK) return std::nullopt;
    std::string& typed = dialog.Find("text")->text;
    std::string problem = typed.empty() ? std::string(kWordEmpty) : check ? check(typed) : "";
    if (problem.empty()) return std::move(typed);
    // A plain box, as the window system's own input checks show theirs.
    ui.Show(problem, std::string(platform::kProductName), platform::MB_OK);
    if (!ui.Interactive()) return std::nullopt;
  }
}

}  // namespace quorvel::ui
