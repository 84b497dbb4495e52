#include "ui/dialog.h"

#include <algorithm>

#include "platform/message_box.h"

namespace quorvel::ui {
namespace {

// Follows `by` through the controls it names. `depth` counts the links followed: a
// chain longer than the dialog has controls is a cycle, which disables.
bool EnabledThrough(const Dialog& dialog, const EnabledBy& by, std::size_t depth,
                    std::size_t limit) {
  if (by.control.empty()) return true;
  if (depth > limit) return false;
  const Control* source = dialog.Find(by.control);
  if (source == nullptr || !source->enabled) return false;
  if (!EnabledThrough(dialog, source->enabledBy, depth + 1, limit)) return false;
  const std::string value = ControlValue(*source);
  return std::find(by.values.begin(), by.values.end(), value) != by.values.end();
}

std::size_t ControlCount(const Dialog& dialog) {
  std::size_t count = dialog.controls.size();
  for (const Page& page : dialog.pages) count += page.controls.size();
  return count;
}

}  // namespace

ControlKind ShownKind(ControlKind kind) {
  switch (kind) {
    case ControlKind::kLabel:
    case ControlKind::kCheckBox:
    case ControlKind::kTextBox:
    case ControlKind::kChoice:
    case ControlKind::kList:
      return kind;
    default:
      return ControlKind::kLabel;
  }
}

Button RoleButton(ButtonRole role, std::string text) {
  struct Usual {
    std::int32_t id;
    bool closes;
  };
  Usual usual{0, true};
  switch (role) {
    case ButtonRole::kPlain:
      break;
    case ButtonRole::kOk:
      usual = {platform::IDOK, true};
      break;
    case ButtonRole::kCancel:
      usual = {platform::IDCANCEL, true};
      break;
    case ButtonRole::kApply:
      usual = {kApplyButton, false};
      break;
    case ButtonRole::kBack:
      usual = {kBackButton, false};
      break;
    case ButtonRole::kNext:
      usual = {kNextButton, false};
      break;
    case ButtonRole::kFinish:
      usual = {kFinishButton, true};
      break;
    case ButtonRole::kHelp:
      usual = {kHelpButton, false};
      break;
    case ButtonRole::kSort:
      usual = {0, false};
      break;
  }
  return Button{.id = usual.id, .text = std::move(text), .role = role, .closes = usual.closes};
}

Control* Dialog::Find(const std::string& id) {
  for (Control& control : controls) {
    if (control.id == id) return &control;
  }
  for (Page& page : pages) {
    for (Control& control : page.controls) {
      if (control.id == id) return &control;
    }
  }
  return nullptr;
}

const Control* Dialog::Find(const std::string& id) const {
  return const_cast<Dialog*>(this)->Find(id);
}

Page* Dialog::FindPage(const std::string& id) {
  for (Page& page : pages) {
    if (page.id == id) return &page;
  }
  return nullptr;
}

const Page* Dialog::FindPage(const std::string& id) const {
  return const_cast<Dialog*>(this)->FindPage(id);
}

const Button* Dialog::FindButton(std::int32_t id) const {
  for (const Button& button : buttons) {
    if (button.id == id) return &button;
  }
  for (const Page& page : pages) {
    for (const Button& button : page.buttons) {
      if (button.id == id) return &button;
    }
  }
  return nullptr;
}

Page* Dialog::Current() {
  if (pages.empty()) return nullptr;
  Page* page = FindPage(currentPage);
  return page != nullptr ? page : &pages.front();
}

const Page* Dialog::Current() const { return const_cast<Dialog*>(this)->Current(); }

std::vector<Control>& Dialog::ShownControls() {
  Page* page = Current();
  return page != nullptr ? page->controls : controls;
}

const std::vector<Control>& Dialog::ShownControls() const {
  return const_cast<Dialog*>(this)->ShownControls();
}

std::vector<Button> Dialog::ShownButtons() const {
  std::vector<Button> shown;
  if (const Page* page = Current()) shown = page->buttons;
  shown.insert(shown.end(), buttons.begin(), buttons.end());
  return shown;
}

std::string ControlValue(const Control& control) {
  switch (control.kind) {
    case ControlKind::kCheckBox:
      return control.checked ? "1" : "0";
    case ControlKind::kTextBox:
      return control.text;
    case ControlKind::kChoice:
      return std::to_string(control.selected);
    case ControlKind::kList:
      return control.selectedRows.empty()       ? "none"
             : control.selectedRows.size() == 1 ? "one"
                                                : "many";
    default:
      return "";
  }
}

bool IsEnabled(const Dialog& dialog, const Control& control) {
  return control.enabled && EnabledThrough(dialog, control.enabledBy, 0, ControlCount(dialog));
}

bool IsEnabled(const Dialog& dialog, const Button& button) {
  return button.enabled && EnabledThrough(dialog, button.enabledBy, 0, ControlCount(dialog));
}

}  // namespace quorvel::ui
