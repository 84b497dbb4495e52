#include "ui/dialog_change.h"

#include <algorithm>

namespace quorvel::ui {
namespace {

// A list's rows may carry keep marks only all together.
bool Marked(const Control& list) { return !list.rowChecked.empty() || list.rows.empty(); }

Button* FindButton(Dialog& dialog, std::int32_t id) {
  for (Button& button : dialog.buttons) {
    if (button.id == id) return &button;
  }
  for (Page& page : dialog.pages) {
    for (Button& button : page.buttons) {
      if (button.id == id) return &button;
    }
  }
  return nullptr;
}

bool InsertRows(Control& list, const DialogChange& change) {
  const auto size = static_cast<std::int32_t>(list.rows.size());
  const auto n = static_cast<std::int32_t>(change.rows.size());
  if (change.first < 0 || change.first > size) return false;
  if (!change.rowChecked.empty() && change.rowChecked.size() != change.rows.size()) return false;
  const bool marks = !list.rowChecked.empty() || (list.rows.empty() && !change.rowChecked.empty());
  if (!change.rowChecked.empty() && !marks) return false;
  list.rows.insert(list.rows.begin() + change.first, change.rows.begin(), change.rows.end());
  if (marks) {
    std::vector<bool> added = change.rowChecked;
    added.resize(change.rows.size(), false);
    list.rowChecked.insert(list.rowChecked.begin() + change.first, added.begin(), added.end());
  }
  for (std::int32_t& row : list.selectedRows) {
    if (row >= change.first) row += n;
  }
  return true;
}

bool ChangeRows(Control& list, const DialogChange& change) {
  const auto size = static_cast<std::int64_t>(list.rows.size());
  if (change.first < 0 || change.first + static_cast<std::int64_t>(change.rows.size()) > size) {
    return false;
  }
  if (!change.rowChecked.empty() &&
      (change.rowChecked.size() != change.rows.size() || !Marked(list))) {
    return false;
  }
  std::copy(change.rows.begin(), change.rows.end(), list.rows.begin() + change.first);
  std::copy(change.rowChecked.begin(), change.rowChecked.end(),
            list.rowChecked.begin() + change.first);
  return true;
}

bool RemoveRows(Control& list, const DialogChange& change) {
  const auto size = static_cast<std::int64_t>(list.rows.size());
  if (change.first < 0 || change.count < 0 ||
      static_cast<std::int64_t>(change.first) + change.count > size) {
    return false;
  }
  const std::int32_t end = change.first + change.count;
  list.rows.erase(list.rows.begin() + change.first, list.rows.begin() + end);
  if (!list.rowChecked.empty()) {
    list.rowChecked.erase(list.rowChecked.begin() + change.first, list.rowChecked.begin() + end);
  }
  std::vector<std::int32_t> kept;
  for (std::int32_t row : list.selectedRows) {
    if (row < change.first) kept.push_back(row);
    if (row >= end) kept.push_back(row - change.count);
  }
  list.selectedRows = std::move(kept);
  return true;
}

bool ChangeValues(Control& control, const Control& value) {
  std::vector<std::int32_t> selection = value.selectedRows;
  std::sort(selection.begin(), selection.end());
  selection.erase(std::unique(selection.begin(), selection.end()), selection.end());
  const auto rows = static_cast<std::int32_t>(control.rows.size());
  if (!selection.empty() && (selection.front() < 0 || selection.back() >= rows)) return false;
  if (!control.multiSelect && selection.size() > 1) return false;
  const auto options = static_cast<std::int32_t>(value.options.size());
  if (control.kind == ControlKind::kChoice && (value.selected < -1 || value.selected >= options)) {
    return false;
  }
  control.label = value.label;
  control.enabled = value.enabled;
  control.checked = value.checked;
  control.text = value.text;
  control.selected = value.selected;
  control.options = value.options;
  control.selectedRows = std::move(selection);
  return true;
}

}  // namespace

DialogChange DialogChange::RowsInserted(std::string control, std::int32_t first,
                                        std::vector<std::vector<std::string>> rows,
                                        std::vector<bool> marks) {
  return {.kind = ChangeKind::kRowsInserted,
          .control = std::move(control),
          .first = first,
          .rows = std::move(rows),
          .rowChecked = std::move(marks)};
}

DialogChange DialogChange::RowsChanged(std::string control, std::int32_t first,
                                       std::vector<std::vector<std::string>> rows,
                                       std::vector<bool> marks) {
  DialogChange change = RowsInserted(std::move(control), first, std::move(rows), std::move(marks));
  change.kind = ChangeKind::kRowsChanged;
  return change;
}

DialogChange DialogChange::RowsRemoved(std::string control, std::int32_t first,
                                       std::int32_t count) {
  return {.kind = ChangeKind::kRowsRemoved,
          .control = std::move(control),
          .first = first,
          .count = count};
}

DialogChange DialogChange::ControlValues(Control value) {
  std::string id = value.id;
  return {.kind = ChangeKind::kControl, .control = std::move(id), .value = std::move(value)};
}

DialogChange DialogChange::ButtonState(std::int32_t button, bool enabled, bool makeDefault) {
  return {.kind = ChangeKind::kButton,
          .button = button,
          .enabled = enabled,
          .makeDefault = makeDefault};
}

DialogChange DialogChange::PageShown(std::string page) {
  return {.kind = ChangeKind::kPage, .page = std::move(page)};
}

bool ApplyChange(Dialog& dialog, const DialogChange& change) {
  switch (change.kind) {
    case ChangeKind::kButton: {
      Button* button = FindButton(dialog, change.button);
      if (button == nullptr) return false;
      button->enabled = change.enabled;
      if (change.makeDefault) dialog.defaultButton = dialog.affirmativeButton = change.button;
      return true;
    }
    case ChangeKind::kPage:
      if (dialog.FindPage(change.page) == nullptr) return false;
      dialog.currentPage = change.page;
      return true;
    default:
      break;
  }
  Control* control = dialog.Find(change.control);
  if (control == nullptr) return false;
  if (change.kind == ChangeKind::kControl) return ChangeValues(*control, change.value);
  if (control->kind != ControlKind::kList) return false;
  switch (change.kind) {
    case ChangeKind::kRowsInserted:
      return InsertRows(*control, change);
    case ChangeKind::kRowsChanged:
      return ChangeRows(*control, change);
    case ChangeKind::kRowsRemoved:
      return RemoveRows(*control, change);
    default:
      return false;
  }
}

}  // namespace quorvel::ui
