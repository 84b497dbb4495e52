// The input box: a caption, a prompt line, one edit field, OK and Cancel. OK with an
// empty field shows "The word is empty." and keeps the box open; any other text,
// blanks included, is taken as typed (UTF-8). `check` may refuse more (its text is
// shown the same way); it may be empty.
#ifndef QUORVEL_UI_INPUT_BOX_H_
#define QUORVEL_UI_INPUT_BOX_H_

#include <functional>
#include <optional>
#include <string>

#include "ui/ui.h"

namespace quorvel::ui {

inline constexpr const char* kWordEmpty = "The word is empty.";

// The box as a model; its edit field is the control "text".
Dialog InputBox(const std::string& caption, const std::string& prompt, const std::string& text);

// Runs the box; the text on OK, nothing on Cancel.
std::optional<std::string> RunInputBox(
    Ui& ui, const std::string& caption, const std::string& prompt, const std::string& text = "",
    const std::function<std::string(const std::string&)>& check = {});

}  // namespace quorvel::ui

#endif  // QUORVEL_UI_INPUT_BOX_H_
