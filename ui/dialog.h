// A dialog as a model: its title, texts, controls with their values, and buttons.
//
// A model is plain data, so that it can travel to whichever front end shows it (the
// terminal, a desktop window, or a client at the other end of the command channel)
// and come back with the user's answers filled in: the values of its controls and the
// button chosen. What a button does, and whether the values are acceptable, stays
// with the code that built the model (RunDialog in ui.h asks again while the
// validation rejects the answers).
#ifndef QUORVEL_UI_DIALOG_H_
#define QUORVEL_UI_DIALOG_H_

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace quorvel::ui {

enum class ControlKind : std::uint8_t {
  kLabel = 0,     // text only
  kCheckBox = 1,  // `checked`
  kTextBox = 2,   // `text`, single line unless `multiline`
  kChoice = 3,    // one of `options`, by `selected` (-1: none)
  kList = 4,      // rows of `columns` cells, each with a keep mark (`rowChecked`); `selected`
};

struct Control {
  ControlKind kind = ControlKind::kLabel;
  std::string id{};     // stable name the model's owner finds the control by
  std::string label{};  // UTF-8
  bool enabled = true;
  bool multiline = false;
  bool readOnly = false;
  // Values: which ones matter depends on `kind`; a front end only changes those.
  bool checked = false;
  std::string text{};
  std::int32_t selected = -1;
  std::vector<std::string> options{};
  std::vector<std::string> columns{};            // list headings
  std::vector<std::vector<std::string>> rows{};  // list cells
  std::vector<bool> rowChecked{};                // list keep marks, one per row
};

struct Button {
  std::int32_t id = 0;  // the window system's button ids: IDOK 1, IDCANCEL 2, IDYES 6, ...
  std::string text{};   // "&OK": '&' marks the access key
};

struct Dialog {
  std::string kind;   // what the dialog is ("confirm-marking", "test-message", ...)
  std::string title;  // UTF-8
  std::string headline;
  std::vector<Control> controls;
  std::vector<Button> buttons;
  std::int32_t defaultButton = 1;      // chosen when nobody can answer
  std::int32_t cancelButton = 2;       // chosen when the dialog is closed or its client leaves
  std::int32_t affirmativeButton = 1;  // chosen by --yes

  // Returns an error text (shown, then the dialog is asked again) or "" when the
  // values are acceptable for `button`. Never travels; may be empty.
  std::function<std::string(const Dialog&, std::int32_t button)> validate;

  Control* Find(const std::string& id);
  const Control* Find(const std::string& id) const;
};

}  // namespace quorvel::ui

#endif  // QUORVEL_UI_DIALOG_H_
