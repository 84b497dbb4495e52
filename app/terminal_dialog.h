// A dialog at the terminal: its controls printed and, when a person answers, asked in
// order (check boxes y/n, text boxes, choices and list rows by number, keep marks
// toggled by number), then its buttons. Labels and buttons show without their
// access-key marks ("&Edit" as "Edit", "&&" as "&"). The terminal draws no group
// boxes: a label heading a group prints where it stands, and a control or button in
// a group is named with its title ("Edit... (Custom Spam Dictionary)"). Sort buttons
// are offered as any other (the terminal has no headings to click). Used by TerminalUi for dialogs
// shown once and for dialogs kept open; whether a control or button may be used is ui::IsEnabled,
// decided as each earlier answer comes in. A control kind this build does not know
// is printed as a label.
//
// Not thread-safe: the caller (TerminalUi) holds its lock around every call.
#ifndef QUORVEL_APP_TERMINAL_DIALOG_H_
#define QUORVEL_APP_TERMINAL_DIALOG_H_

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "ui/dialog.h"
#include "ui/dialog_change.h"

namespace quorvel::app {

// What a page is shown with. `ask` prints a prompt and returns the line typed (trimmed
// of CR and trailing blanks), or "\x04" at the end of input.
struct TerminalPrompt {
  std::ostream& err;
  std::function<std::string(const std::string& prompt)> ask;
  bool asks;  // a person answers: controls are asked, not only printed
};

// Prints (and, when asking, reads) the controls shown now. The rows of a list whose
// id is in `listed` are not printed again (its count is, and "l" at its prompt lists
// them); lists printed are added. `listed` may be null: every list is printed.
void ShowControls(TerminalPrompt& prompt, ui::Dialog& dialog, std::set<std::string>* listed);

// Asks for one of the enabled buttons shown now by the start of its text (the first
// such in order), else by the start of its group's title; Enter gives the default
// button, the end of input the cancel button. With `pages` (a sheet) a
// page's number is an answer too: kPageAnswer + its index. "?" gives kShowAgain.
inline constexpr std::int32_t kShowAgain = -0x7000;
inline constexpr std::int32_t kPageAnswer = -0x6000;
std::int32_t AskButton(TerminalPrompt& prompt, const ui::Dialog& dialog, bool pages);

// The line "Pages: 1. General  [2. White List]  3. About" of a sheet, current page
// in brackets.
std::string PageMenu(const ui::Dialog& dialog);

// Rows typed as "1,3-5" (numbered from 1; blanks allowed), "-" (none) or "*" (all),
// as ascending unique indexes from 0; nullopt when a number is outside 1..count or
// the text is no such list.
std::optional<std::vector<std::int32_t>> ParseRows(const std::string& text, std::size_t count);

// One row as printed: "  3. [x] a@example.org  Ann", '*' before the number when it
// is selected, the mark only when the list has keep marks.
std::string RowLine(const ui::Control& list, std::size_t row);

// Prints what `change` (already applied to `dialog`) changed: rows as "+", "~" and
// "-" lines, a control's new value; nothing for buttons and pages, whose state the
// next prompt shows.
void ShowChange(std::ostream& err, const ui::Dialog& dialog, const ui::DialogChange& change);

}  // namespace quorvel::app

#endif  // QUORVEL_APP_TERMINAL_DIALOG_H_
