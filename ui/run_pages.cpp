#include "ui/run_pages.h"

#include <string>
#include <vector>

namespace quorvel::ui {
namespace {

constexpr int kMaxUnattendedPages = 1000;

// Shows `problem` as a warning; true when there was none.
bool Accepted(Ui& ui, const Dialog& dialog, const std::string& problem) {
  if (problem.empty()) return true;
  ui.Show(problem, dialog.title, platform::MB_OK | platform::MB_ICONWARNING);
  return false;
}

bool PageAccepted(Ui& ui, DialogSession& session, const std::string& page) {
  const Dialog& dialog = session.dialog();
  if (!dialog.validatePage) return true;
  std::string problem = dialog.validatePage(dialog, page);
  if (problem.empty()) return true;
  if (dialog.currentPage != page) session.Update(DialogChange::PageShown(page));
  return Accepted(ui, dialog, problem);
}

bool DialogAccepted(Ui& ui, const Dialog& dialog, std::int32_t button) {
  return !dialog.validate || Accepted(ui, dialog, dialog.validate(dialog, button));
}

std::string NextPage(const Dialog& dialog, const std::string& page) {
  if (dialog.nextPage) {
    std::string next = dialog.nextPage(dialog, page);
    return dialog.FindPage(next) != nullptr ? next : std::string();
  }
  for (std::size_t i = 0; i + 1 < dialog.pages.size(); ++i) {
    if (dialog.pages[i].id == page) return dialog.pages[i + 1].id;
  }
  return "";
}

// The id of the dialog's first button of `role`, adding one when there is none.
std::int32_t RoleButtonId(Dialog& dialog, ButtonRole role, const char* text) {
  for (const Button& button : dialog.buttons) {
    if (button.role == role) return button.id;
  }
  dialog.buttons.push_back(RoleButton(role, text));
  return dialog.buttons.back().id;
}

// Sends a button's state only when it changes, so that a front end hears little.
void SetButton(DialogSession& session, std::int32_t id, bool enabled, bool makeDefault) {
  const Dialog& dialog = session.dialog();
  const Button* button = dialog.FindButton(id);
  if (button == nullptr) return;
  const bool isDefault = dialog.defaultButton == id && dialog.affirmativeButton == id;
  if (button->enabled == enabled && (!makeDefault || isDefault)) return;
  session.Update(DialogChange::ButtonState(id, enabled, makeDefault));
}

}  // namespace

std::int32_t RunOpenDialog(Ui& ui, Dialog& dialog, const ActionHandler& onAction) {
  std::unique_ptr<DialogSession> session = ui.Open(dialog);
  for (;;) {
    const std::int32_t pressed = session->Next();
    if (pressed == dialog.cancelButton) return pressed;
    const Button* button = dialog.FindButton(pressed);
    if (button != nullptr && !IsEnabled(dialog, *button)) {
      if (!ui.Interactive()) return dialog.cancelButton;
      continue;
    }
    const bool closes = button == nullptr || button->closes;
    if (closes || button->role == ButtonRole::kApply) {
      bool accepted = true;
      for (std::size_t i = 0; accepted && i < dialog.pages.size(); ++i) {
        accepted = PageAccepted(ui, *session, dialog.pages[i].id);
      }
      accepted = accepted && DialogAccepted(ui, dialog, pressed);
      if (!accepted) {
        if (!ui.Interactive()) return dialog.cancelButton;
        continue;
      }
      if (closes) return pressed;
    }
    if (onAction) onAction(*session, pressed);
    if (!ui.Interactive()) return dialog.cancelButton;
  }
}

std::int32_t RunWizard(Ui& ui, Dialog& dialog, const ActionHandler& onAction,
                       const PageHandler& onPageShown) {
  if (dialog.pages.empty()) return RunOpenDialog(ui, dialog, onAction);
  dialog.style = DialogStyle::kWizard;
  const std::int32_t back = RoleButtonId(dialog, ButtonRole::kBack, "< &Back");
  const std::int32_t next = RoleButtonId(dialog, ButtonRole::kNext, "&Next >");
  const std::int32_t finish = RoleButtonId(dialog, ButtonRole::kFinish, "&Finish");
  dialog.cancelButton = RoleButtonId(dialog, ButtonRole::kCancel, "Cancel");
  const bool movesByDefault = dialog.defaultButton != dialog.cancelButton;
  if (dialog.FindPage(dialog.currentPage) == nullptr) dialog.currentPage = dialog.pages[0].id;
  std::vector<std::string> cameFrom;
  std::unique_ptr<DialogSession> session = ui.Open(dialog);
  bool pageChanged = true;
  for (int shown = 0;; ++shown) {
    if (!ui.Interactive() && shown > kMaxUnattendedPages) return dialog.cancelButton;
    if (pageChanged && onPageShown) onPageShown(*session, dialog.currentPage);
    pageChanged = false;
    const std::string following = NextPage(dialog, dialog.currentPage);
    SetButton(*session, back, !cameFrom.empty(), false);
    SetButton(*session, next, !following.empty(), movesByDefault && !following.empty());
    SetButton(*session, finish, following.empty(), movesByDefault && following.empty());

    const std::int32_t pressed = session->Next();
    if (pressed == dialog.cancelButton) return pressed;
    const Button* button = dialog.FindButton(pressed);
    if (button == nullptr || !IsEnabled(dialog, *button)) {
      if (!ui.Interactive()) return dialog.cancelButton;
      continue;
    }
    const std::string page = dialog.currentPage;
    if (pressed == back) {
      session->Update(DialogChange::PageShown(cameFrom.back()));
      cameFrom.pop_back();
      pageChanged = true;
    } else if (pressed == next) {
      if (!PageAccepted(ui, *session, page)) {
        if (!ui.Interactive()) return dialog.cancelButton;
        continue;
      }
      // The values may have changed since the buttons were set: ask again.
      const std::string to = NextPage(dialog, page);
      if (to.empty()) continue;
      cameFrom.push_back(page);
      session->Update(DialogChange::PageShown(to));
      pageChanged = true;
    } else if (button->closes) {
      if (PageAccepted(ui, *session, page) && DialogAccepted(ui, dialog, pressed)) return pressed;
      if (!ui.Interactive()) return dialog.cancelButton;
    } else if (onAction) {
      onAction(*session, pressed);
    }
  }
}

}  // namespace quorvel::ui
