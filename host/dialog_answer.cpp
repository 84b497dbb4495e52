#include "host/dialog_answer.h"

namespace quorvel::host {

void TakeDialogAnswer(ui::Dialog& dialog, const std::vector<ui::Control>& answered) {
  for (std::size_t i = 0; i < dialog.controls.size() && i < answered.size(); ++i) {
    ui::Control& mine = dialog.controls[i];
    const ui::Control& theirs = answered[i];
    if (mine.id != theirs.id || mine.kind != theirs.kind || mine.readOnly || !mine.enabled) {
      continue;
    }
    mine.checked = theirs.checked;
    mine.text = theirs.text;
    const auto choices = static_cast<std::int32_t>(
        mine.kind == ui::ControlKind::kChoice ? mine.options.size() : mine.rows.size());
    if (theirs.selected >= -1 && theirs.selected < choices) mine.selected = theirs.selected;
    if (theirs.rowChecked.size() == mine.rows.size()) mine.rowChecked = theirs.rowChecked;
  }
}

}  // namespace quorvel::host
