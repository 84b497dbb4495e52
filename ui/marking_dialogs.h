// The dialogs of marking messages as Good or Junk e-mail: the Marking Options dialog,
// which chooses what a marking does, and the Confirmation shown after a marking, which
// the user can switch off.
//
// Marking Options edits a settings record the caller owns (the options sheet's copy).
// Its invariant: GoodAddDomainWhiteList is set only while GoodAddWhiteList is.
//
// The Confirmation reads and sets its "do not show" flag in the live settings under
// the settings lock, never holding it while the dialog is shown.
//
// Thread-safety: none beyond the settings lock; no lock may be held across a call.
#ifndef QUORVEL_UI_MARKING_DIALOGS_H_
#define QUORVEL_UI_MARKING_DIALOGS_H_

#include <string>

#include "settings/settings_holder.h"
#include "settings/user_settings.h"
#include "ui/ui.h"

namespace quorvel::ui {

// Check box ids of the Marking Options dialog.
inline constexpr const char* kGoodBayes = "goodBayes";
inline constexpr const char* kGoodAddWhiteList = "goodAddWhiteList";
inline constexpr const char* kGoodAddDomain = "goodAddDomainWhiteList";
inline constexpr const char* kGoodMoveInbox = "goodMoveInbox";
inline constexpr const char* kGoodApplyToAll = "goodApplyToAll";
inline constexpr const char* kJunkBayes = "junkBayes";
inline constexpr const char* kJunkAddBlackList = "junkAddBlackList";
inline constexpr const char* kJunkMoveInbox = "junkMoveInbox";
inline constexpr const char* kJunkApplyToAll = "junkApplyToAll";

// The dialog filled from `settings`: both "Update Bayesian Filter (required)" boxes
// set and read-only, the domain box enabled only while the address box is set (and
// shown clear when it is not).
Dialog MarkingOptionsDialog(const UserSettings& settings);
// Writes the boxes into `settings`, the domain flag only when both boxes are set.
void StoreMarkingOptions(const Dialog& dialog, UserSettings& settings);
// Shows the dialog; on OK stores it into `settings` and returns true.
bool RunMarkingOptions(Ui& ui, UserSettings& settings);

// The confirmation's control ids.
inline constexpr const char* kDoNotShowAgain = "doNotShow";

// The Confirmation for good (`junk` false) or junk, with the destination folder's path
// ("" when nothing moves).
Dialog MarkingConfirmationDialog(bool junk, const std::string& destination);
// Shows it unless GoodDoNotShowAnymore (JunkDoNotShowAnymore) is set; when the user
// set "&Do not show again", sets that flag in the live settings. True when shown.
bool ShowMarkingConfirmation(Ui& ui, SettingsHolder& settings, bool junk,
                             const std::string& destination);

}  // namespace quorvel::ui

#endif  // QUORVEL_UI_MARKING_DIALOGS_H_
