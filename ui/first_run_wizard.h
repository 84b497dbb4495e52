// The first-run wizard as a model: five pages (Welcome, White List, Folders, Scan,
// Done) with their texts, and the Folders page's list of chosen folders. The work the
// pages start (the walks, the scan) belongs to the add-in (outlook/first_run_wizard.h),
// which runs the model with RunWizard and fills the pages through the session.
//
// Page ids, control ids and button ids are below; the check box on the Done page is
// the "check inbox" flag. The sheet offers no Cancel: its Cancel button is there,
// disabled, only as the answer a closed window gives.
#ifndef QUORVEL_UI_FIRST_RUN_WIZARD_H_
#define QUORVEL_UI_FIRST_RUN_WIZARD_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ui/dialog.h"
#include "ui/dialog_session.h"

namespace quorvel::ui::wizard {

inline constexpr std::string_view kTitle = "Welcome to Quorvel!";
inline constexpr std::string_view kContinue = "Click Next to continue.";
inline constexpr std::string_view kWelcomeText =
    "Welcome to Quorvel!\n \nThis wizard will guide you through the first steps of configuring "
    "the spam filter. Follow the instructions to make filtering the most effective for your "
    "particular mailbox. Good luck!";
inline constexpr std::string_view kWhiteListText =
    "Quorvel is now scanning your address book and Sent Items Folder to add all the contacts "
    "and the addresses of your recent mails recipients to White List.";
inline constexpr std::string_view kWhiteListNote =
    "The messages from White List senders will be never recognized as spam.\n \nThis process "
    "can take a few minutes, please wait.";
inline constexpr std::string_view kFoldersText =
    "Usually Sent Item folder is enough to create the base but you can also choose some "
    "additional folders for analysis.";
inline constexpr std::string_view kFoldersNext = "Click Next to scan the selected folders.";
inline constexpr std::string_view kScanText =
    "Find more\nanti-spam \nfunctionality in\nQuorvel menu!";
inline constexpr std::string_view kDoneText =
    "Quorvel mail base is successfully updated.\nNow your mailbox is securely protected from "
    "spam.";
inline constexpr std::string_view kSpamFolderIs = "Initially spam folder is set to:\n";
inline constexpr std::string_view kCheckInboxLabel = "&Check Inbox folder for spam";
inline constexpr std::string_view kFolderAlreadyAdded = "This folder is already added.";
inline constexpr std::string_view kSelectAFolder = "Please select at least one mail folder.";

// Pages.
inline constexpr char kWelcome[] = "welcome";
inline constexpr char kWhiteList[] = "white-list";
inline constexpr char kFolders[] = "folders";
inline constexpr char kScan[] = "scan";
inline constexpr char kDone[] = "done";
// Controls: the label "Click Next to continue." of the White List and Scan pages
// (empty while they work), the folder list, the Spam folder text, the check box.
inline constexpr char kWhiteListContinue[] = "white-list-continue";
inline constexpr char kScanContinue[] = "scan-continue";
inline constexpr char kFolderList[] = "folder-list";
inline constexpr char kSpamFolder[] = "spam-folder";
inline constexpr char kCheckInbox[] = "check-inbox";
// The Folders page's buttons.
inline constexpr std::int32_t kAddButton = 282;
inline constexpr std::int32_t kRemoveButton = 283;

// The wizard. With `skipScan` only the Scan and Done pages.
Dialog WizardDialog(bool skipScan);

// The offer a host without a person leaves for the next one: Later (the default and
// the answer of a closed dialog) keeps the wizard due; Skip declines it for good.
inline constexpr std::int32_t kLaterButton = 1;
inline constexpr std::int32_t kSkipButton = 7;
Dialog OfferDialog();

// The folders chosen for the scan, mirrored in the Folders page's list.
class ChosenFolders {
 public:
  struct Folder {
    std::string entryId;  // hexadecimal
    std::string path;     // names from the top, joined with " -> "
  };
  // Adds `folder` and its row (through `session` when given, else in `dialog`);
  // false when a folder with that id is chosen already.
  bool Add(Folder folder, Dialog& dialog, DialogSession* session);
  // Removes the list's selected rows and their folders, last to first.
  void RemoveSelected(Dialog& dialog, DialogSession& session);
  const std::vector<Folder>& folders() const { return folders_; }

 private:
  std::vector<Folder> folders_;  // in the list's order
};

}  // namespace quorvel::ui::wizard

#endif  // QUORVEL_UI_FIRST_RUN_WIZARD_H_
