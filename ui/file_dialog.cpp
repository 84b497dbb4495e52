#include "ui/file_dialog.h"

#include "platform/string_table.h"

namespace quorvel::ui {
namespace {

Dialog FileDialog(const char* kind, const char* title, const char* filter) {
  Dialog dialog;
  dialog.kind = kind;
  dialog.title = title;
  dialog.controls = {{.kind = ControlKind::kTextBox, .id = "path", .label = "File &name:"},
                     {.kind = ControlKind::kLabel, .id = "filter", .label = filter}};
  dialog.buttons = {RoleButton(ButtonRole::kOk, "OK"), RoleButton(ButtonRole::kCancel, "Cancel")};
  return dialog;
}

// The path typed, asked again while it is empty; nothing when cancelled.
std::optional<std::string> AskPath(Ui& ui, Dialog& dialog) {
  for (;;) {
    if (ui.Present(dialog) != platform::IDOK) return std::nullopt;
    const std::string& path = dialog.Find("path")->text;
    if (!path.empty()) return path;
    if (!ui.Interactive()) return std::nullopt;
  }
}

}  // namespace

std::string WithDefaultExtension(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::size_t name = slash == std::string::npos ? 0 : slash + 1;
  if (name == path.size() || path.find('.', name) != std::string::npos) return path;
  return path + ".txt";
}

std::optional<std::string> AskSavePath(Ui& ui,
                                       const std::function<bool(const std::string&)>& exists) {
  Dialog dialog = FileDialog("save-file", "Save As", kSaveFilter);
  for (;;) {
    std::optional<std::string> typed = AskPath(ui, dialog);
    if (!typed) return std::nullopt;
    std::string path = WithDefaultExtension(*typed);
    if (!exists || !exists(path)) return path;
    if (ui.Show(path + " already exists.\nDo you want to replace it?",
                std::string(platform::kProductName),
                platform::MB_YESNO | platform::MB_ICONWARNING) == platform::IDYES) {
      return path;
    }
    if (!ui.Interactive()) return std::nullopt;
  }
}

std::optional<std::string> AskOpenPath(Ui& ui) {
  Dialog dialog = FileDialog("open-file", "Open", kOpenFilter);
  return AskPath(ui, dialog);
}

}  // namespace quorvel::ui
