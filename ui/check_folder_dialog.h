// The Check Folder command's two windows as models: the confirmation ("Are you sure
// you want to check "Inbox" folder?" with its subfolder check box) and the progress
// of a running check (its title, the bar's range and what the line under it says).
#ifndef QUORVEL_UI_CHECK_FOLDER_DIALOG_H_
#define QUORVEL_UI_CHECK_FOLDER_DIALOG_H_

#include <chrono>
#include <cstdint>
#include <string>

#include "ui/dialog.h"

namespace quorvel::ui {

inline constexpr const char* kCheckFolderKind = "check-folder";
// The check box's id in the confirmation.
inline constexpr const char* kSubfoldersControl = "subfolders";
// The progress's title, the bar's range and how often the bar is redrawn.
inline constexpr const char* kCheckingTitle = "Checking folder for spam...";
inline constexpr std::uint64_t kCheckProgressRange = 16384;
inline constexpr std::chrono::milliseconds kCheckProgressRefresh{250};

// The confirmation for the folder named `folderName` (UTF-8), Yes (6) and No (7).
// With subfolders the check box starts checked and may be changed; without any it
// starts unchecked and is disabled.
Dialog CheckFolderConfirmation(const std::string& folderName, bool hasSubfolders);

// Whether the answered confirmation asks for the subfolders too: the box checked,
// and enabled (a folder without subfolders never includes any).
bool IncludesSubfolders(const Dialog& answered);

// The line under the bar: "1,234 checked, 56 spam, 812/s" (messages a second; (the rate left out
// left out while less than a second has passed or nothing was checked).
std::string CheckProgressText(std::uint32_t checked, std::uint32_t spam,
                              std::chrono::steady_clock::duration elapsed);

}  // namespace quorvel::ui

#endif  // QUORVEL_UI_CHECK_FOLDER_DIALOG_H_
