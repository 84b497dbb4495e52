#include "ui/marking_dialogs.h"

#include <cstdint>
#include <utility>

#include "platform/message_box.h"

namespace quorvel::ui {
namespace {

Control Group(std::string text) { return {.kind = ControlKind::kLabel, .label = std::move(text)}; }

Control Box(const char* id, std::string label, bool checked, EnabledBy enabledBy = {}) {
  return {.kind = ControlKind::kCheckBox,
          .id = id,
          .label = std::move(label),
          .checked = checked,
          .enabledBy = std::move(enabledBy)};
}

// "Update Bayesian Filter (required)": always set; the user cannot clear it.
Control Required(const char* id) {
  Control box = Box(id, "Update Bayesian Filter (required)", true);
  box.readOnly = true;
  return box;
}

bool Checked(const Dialog& dialog, const char* id) {
  const Control* control = dialog.Find(id);
  return control != nullptr && control->checked;
}

std::uint32_t Flag(bool value) { return value ? 1 : 0; }

}  // namespace

Dialog MarkingOptionsDialog(const UserSettings& s) {
  const bool addWhite = s.goodAddWhiteList != 0;
  Dialog dialog;
  dialog.kind = "marking-options";
  dialog.title = "Marking Options";
  dialog.controls = {
      Group("When mark a message as Good E-mail:"),
      Required(kGoodBayes),
      Box(kGoodAddWhiteList, "Add sender's address to &White List", addWhite),
      Box(kGoodAddDomain, "Add the sender's &domain to White List",
          addWhite && s.goodAddDomainWhiteList != 0, {kGoodAddWhiteList, {"1"}}),
      Box(kGoodMoveInbox, "&Move the message to Inbox folder", s.goodMoveInbox != 0),
      Box(kGoodApplyToAll, "&Apply to all messages from the same sender", s.goodApplyToAll != 0),
      Group("When mark a message as Junk E-mail:"),
      Required(kJunkBayes),
      Box(kJunkAddBlackList, "Add sender's address to &Black List", s.junkAddBlackList != 0),
      Box(kJunkMoveInbox, "Move the message to &Spam folder", s.junkMoveInbox != 0),
      Box(kJunkApplyToAll, "Apply &to all messages from the same sender", s.junkApplyToAll != 0),
  };
  dialog.buttons = {RoleButton(ButtonRole::kOk, "OK"), RoleButton(ButtonRole::kCancel, "Cancel")};
  return dialog;
}

void StoreMarkingOptions(const Dialog& dialog, UserSettings& s) {
  const bool addWhite = Checked(dialog, kGoodAddWhiteList);
  s.goodAddWhiteList = Flag(addWhite);
  s.goodAddDomainWhiteList = Flag(addWhite && Checked(dialog, kGoodAddDomain));
  s.goodMoveInbox = Flag(Checked(dialog, kGoodMoveInbox));
  s.goodApplyToAll = Flag(Checked(dialog, kGoodApplyToAll));
  s.junkAddBlackList = Flag(Checked(dialog, kJunkAddBlackList));
  s.junkMoveInbox = Flag(Checked(dialog, kJunkMoveInbox));
  s.junkApplyToAll = Flag(Checked(dialog, kJunkApplyToAll));
}

bool RunMarkingOptions(Ui& ui, UserSettings& settings) {
  Dialog dialog = MarkingOptionsDialog(settings);
  if (RunDialog(ui, dialog) != platform::IDOK) return false;
  StoreMarkingOptions(dialog, settings);
  return true;
}

Dialog MarkingConfirmationDialog(bool junk, const std::string& destination) {
  Dialog dialog;
  dialog.kind = "confirm-marking";
  dialog.title = "Confirmation";
  std::string first = "You have marked messages as ";
  first += junk ? "Junk e-mail" : "Good e-mail";
  first += ".";
  const std::string second =
      destination.empty() ? std::string() : "The messages will be moved to\n" + destination + ".";
  dialog.controls = {
      {.kind = ControlKind::kLabel, .id = "first", .label = first},
      {.kind = ControlKind::kLabel, .id = "second", .label = second},
      {.kind = ControlKind::kCheckBox, .id = kDoNotShowAgain, .label = "&Do not show again"},
      {.kind = ControlKind::kLabel,
       .id = "note",
       .label = "Note: You can customize the list of operations for marked messages on General "
                "tab of program options."},
  };
  dialog.buttons = {RoleButton(ButtonRole::kOk, "OK")};
  dialog.cancelButton = platform::IDOK;
  return dialog;
}

bool ShowMarkingConfirmation(Ui& ui, SettingsHolder& settings, bool junk,
                             const std::string& destination) {
  {
    auto live = settings.Lock();
    if ((junk ? live->junkDoNotShowAnymore : live->goodDoNotShowAnymore) != 0) return false;
  }
  Dialog dialog = MarkingConfirmationDialog(junk, destination);
  ui.Present(dialog);
  if (Checked(dialog, kDoNotShowAgain)) {
    auto live = settings.Lock();
    (junk ? live->junkDoNotShowAnymore : live->goodDoNotShowAnymore) = 1;
  }
  return true;
}

}  // namespace quorvel::ui
