// The file dialogs of the list pages, as models with one path field: a save dialog
// (default extension "txt", filter "Text Files (*.txt)|*.txt||", a question before a
// file is replaced) and an open dialog (filter "Text Files (*.txt)|*.txt|All Files
// (*.*)|*.*||", no read-only box). Paths are UTF-8 as typed.
#ifndef QUORVEL_UI_FILE_DIALOG_H_
#define QUORVEL_UI_FILE_DIALOG_H_

#include <functional>
#include <optional>
#include <string>

#include "ui/ui.h"

namespace quorvel::ui {

inline constexpr const char* kSaveFilter = "Text Files (*.txt)|*.txt||";
inline constexpr const char* kOpenFilter = "Text Files (*.txt)|*.txt|All Files (*.*)|*.*||";

// `path` with ".txt" added when its last component has no extension.
std::string WithDefaultExtension(const std::string& path);

// The path to write, or nothing when cancelled. When `exists` says the file is there,
// "<path> already exists.\nDo you want to replace it?" is asked; No asks for another
// path. `exists` may be empty (no question).
std::optional<std::string> AskSavePath(Ui& ui,
                                       const std::function<bool(const std::string&)>& exists);
// The path to read, or nothing when cancelled.
std::optional<std::string> AskOpenPath(Ui& ui);

}  // namespace quorvel::ui

#endif  // QUORVEL_UI_FILE_DIALOG_H_
