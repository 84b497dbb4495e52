// A change to a dialog kept open, sent instead of the whole dialog: rows inserted,
// changed or removed in a list; a control's values or enabled state; a button
// enabled, disabled or made the default; the page shown. Plain data, so that it can
// travel to a front end at the other end of the command channel, which applies it to
// its own copy with ApplyChange, as the owner does to the model.
#ifndef QUORVEL_UI_DIALOG_CHANGE_H_
#define QUORVEL_UI_DIALOG_CHANGE_H_

#include <cstdint>
#include <string>
#include <vector>

#include "ui/dialog.h"

namespace quorvel::ui {

enum class ChangeKind : std::uint8_t {
  kRowsInserted = 0,  // `rows` (with `rowChecked`) inserted before row `first`
  kRowsChanged = 1,   // rows from `first` replaced by `rows` (marks too when given)
  kRowsRemoved = 2,   // `count` rows from `first` removed
  kControl = 3,       // the values of `value` replace the control's (not its rows)
  kButton = 4,        // button `button` enabled or not; the default when `makeDefault`
  kPage = 5,          // page `page` shown
};

struct DialogChange {
  ChangeKind kind = ChangeKind::kControl;
  std::string control{};  // the control changed (rows, kControl)
  std::int32_t first = 0;
  std::int32_t count = 0;
  std::vector<std::vector<std::string>> rows{};
  std::vector<bool> rowChecked{};  // one per row of `rows`, or none (unmarked, unchanged)
  // kControl: its label, enabled, checked, text, selected, options and selectedRows.
  Control value{};
  std::int32_t button = 0;
  bool enabled = true;
  bool makeDefault = false;  // the button becomes the default and the affirmative one
  std::string page{};

  static DialogChange RowsInserted(std::string control, std::int32_t first,
                                   std::vector<std::vector<std::string>> rows,
                                   std::vector<bool> marks = {});
  static DialogChange RowsChanged(std::string control, std::int32_t first,
                                  std::vector<std::vector<std::string>> rows,
                                  std::vector<bool> marks = {});
  static DialogChange RowsRemoved(std::string control, std::int32_t first, std::int32_t count);
  // `value.id` names the control.
  static DialogChange ControlValues(Control value);
  static DialogChange ButtonState(std::int32_t button, bool enabled, bool makeDefault = false);
  static DialogChange PageShown(std::string page);
};

// Applies `change` to `dialog`. A list's selection follows its rows (a removed row
// leaves it; rows after an insertion or removal keep their selection), and its keep
// marks stay one per row. False, with `dialog` unchanged, when the change names no
// such control, row, button or page, or would break those rules.
bool ApplyChange(Dialog& dialog, const DialogChange& change);

}  // namespace quorvel::ui

#endif  // QUORVEL_UI_DIALOG_CHANGE_H_
