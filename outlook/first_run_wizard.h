// The first-run wizard: RunFirstRunWizard shows it and does the work before and after
// it.
//
//  1 the mail base must load (else message 604 and no wizard); the scan corpus is
//    cleared;
//  2 Sent Items (s) and Inbox (i) are counted: with s < 200 the Folders page starts
//    with the Inbox beside Sent Items, with s + i < 10 only the Scan page (which then
//    scans nothing) and the Done page are shown;
//  3 the pages: the White List page collects contacts (white_list_walk.h), the
//    Folders page chooses folders (Add: the folder picker; a folder chosen twice is
//    refused with "This folder is already added."; Remove: the selected rows), the
//    Scan page learns them (wizard_scan.h) and, with kScanApplyMinimum or more
//    learned, puts them in place of the good corpus (ApplyScan: base updated) and
//    sets check inbox; the Done page shows the Spam folder and binds check inbox to
//    its check box;
//  4 without base updated, an older mail base ("Bayes.raw.old" in the data folder) is
//    imported and the file is deleted, whether it loaded or not; a file that does not
//    load leaves the mail base as it was;
//  5 the collected contacts are taken off the Black List and merged into the White
//    List under the settings lock, ShowWizard is cleared, and the settings saved.
//
// Closing the wizard (its cancel answer) while the Scan page works abandons the scan:
// the scan corpus is cleared and the good corpus stays; check inbox stays false
// whenever the wizard was closed rather than finished. A page's work runs once: going
// Back to it shows what it did.
//
// Threading: one thread (the user-interface thread, or a command's own); the settings
// lock is taken only for step 5, never across a dialog or a save.
#ifndef QUORVEL_OUTLOOK_FIRST_RUN_WIZARD_H_
#define QUORVEL_OUTLOOK_FIRST_RUN_WIZARD_H_

#include <functional>
#include <optional>
#include <string>

#include "host/object_model.h"
#include "outlook/add_in_process.h"
#include "ui/first_run_wizard.h"
#include "ui/ui.h"

namespace quorvel::outlook {

inline constexpr std::uint32_t kAddInboxBelow = 200;  // Sent Items messages
inline constexpr std::uint32_t kSkipScanBelow = 10;   // Sent Items and Inbox together
inline constexpr char kOlderMailbase[] = "Bayes.raw.old";

struct WizardResult {
  bool checkInbox = false;
  bool baseUpdated = false;
};

// What the wizard works with; every reference outlives the call.
struct WizardContext {
  ui::Ui& ui;
  host::NameSpace& nameSpace;
  AddInProcess& process;
  // The folder picker of "&Add": the folder chosen, or nothing when the user cancels.
  // Empty: PickWizardFolder below.
  std::function<std::optional<ui::wizard::ChosenFolders::Folder>()> pickFolder = {};
};

void RunFirstRunWizard(WizardContext& context, WizardResult& result);

// The folder picker as the "Select Folder" dialog (ui/folder_choice.h): only the
// profile's mail folders, by their names from the top as the Folders page lists them
// (WizardFolderPath), since the wizard scans mail and has no room to refuse a folder.
std::optional<ui::wizard::ChosenFolders::Folder> PickWizardFolder(ui::Ui& ui,
                                                                  host::NameSpace& nameSpace);

// A folder's display path: the names of it and its ancestors from the top, joined with
// " -> ".
std::string WizardFolderPath(host::MAPIFolder& folder);

}  // namespace quorvel::outlook

#endif  // QUORVEL_OUTLOOK_FIRST_RUN_WIZARD_H_
