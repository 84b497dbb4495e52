#include "ui/dialog_session.h"

#include <algorithm>

#include "ui/ui.h"

namespace quorvel::ui {
namespace {

class PresentedSession final : public DialogSession {
 public:
  PresentedSession(Ui& ui, Dialog& dialog) : ui_(ui), dialog_(dialog) {}

  std::int32_t Next() override {
    for (;;) {
      Dialog shown = PlainView(dialog_);
      const std::int32_t button = ui_.Present(shown);
      CopyValuesBack(shown, dialog_);
      const std::int32_t page = button - kPageButtonBase;
      const bool pageButton = dialog_.style == DialogStyle::kSheet && page >= 0 &&
                              page < static_cast<std::int32_t>(dialog_.pages.size());
      if (!pageButton) return button;
      dialog_.currentPage = dialog_.pages[static_cast<std::size_t>(page)].id;
    }
  }
  bool Update(const DialogChange& change) override { return ApplyChange(dialog_, change); }
  Dialog& dialog() override { return dialog_; }

 private:
  Ui& ui_;
  Dialog& dialog_;
};

}  // namespace

std::unique_ptr<DialogSession> PresentEachTime(Ui& ui, Dialog& dialog) {
  return std::make_unique<PresentedSession>(ui, dialog);
}

Dialog PlainView(const Dialog& dialog) {
  Dialog shown;
  shown.kind = dialog.kind;
  shown.title = dialog.title;
  shown.headline = dialog.headline;
  const Page* page = dialog.Current();
  if (page != nullptr && !page->title.empty()) shown.title += " - " + page->title;
  for (const Control& control : dialog.ShownControls()) {
    Control plain = control;
    plain.kind = ShownKind(control.kind);
    plain.enabled = IsEnabled(dialog, control);
    plain.enabledBy = {};
    shown.controls.push_back(std::move(plain));
  }
  for (const Button& button : dialog.ShownButtons()) {
    if (!IsEnabled(dialog, button)) continue;
    shown.buttons.push_back(button);
    shown.buttons.back().enabledBy = {};
  }
  if (dialog.style == DialogStyle::kSheet) {
    for (std::size_t i = 0; i < dialog.pages.size(); ++i) {
      if (&dialog.pages[i] == page) continue;
      shown.buttons.push_back({.id = kPageButtonBase + static_cast<std::int32_t>(i),
                               .text = "> " + dialog.pages[i].title,
                               .closes = false});
    }
  }
  shown.defaultButton = dialog.defaultButton;
  shown.cancelButton = dialog.cancelButton;
  shown.affirmativeButton = dialog.affirmativeButton;
  return shown;
}

void CopyValuesBack(const Dialog& shown, Dialog& dialog) {
  std::vector<Control>& controls = dialog.ShownControls();
  for (std::size_t i = 0; i < controls.size() && i < shown.controls.size(); ++i) {
    Control& mine = controls[i];
    const Control& theirs = shown.controls[i];
    if (mine.id != theirs.id || mine.kind != theirs.kind || mine.readOnly ||
        !IsEnabled(dialog, mine)) {
      continue;
    }
    mine.checked = theirs.checked;
    mine.text = theirs.text;
    if (theirs.selected >= -1 && theirs.selected < static_cast<std::int32_t>(mine.options.size())) {
      mine.selected = theirs.selected;
    }
    if (theirs.rowChecked.size() == mine.rows.size()) mine.rowChecked = theirs.rowChecked;
    std::vector<std::int32_t> rows;
    for (std::int32_t row : theirs.selectedRows) {
      if (row >= 0 && row < static_cast<std::int32_t>(mine.rows.size())) rows.push_back(row);
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    if (mine.multiSelect || rows.size() <= 1) mine.selectedRows = std::move(rows);
  }
}

}  // namespace quorvel::ui
