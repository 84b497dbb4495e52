// The General page: the spam folder's path (read only) with a button to pick another
// folder, three switches (MarkSpamAsRead, TrayNotification, RespectOutlookRules) and
// "&Edit..." for the Marking Options.
//
// Picking: a folder whose default item type is not mail is refused with "The folder
// you have selected may not contain mail items.\nPlease, select another folder." and
// the old folder stays; another becomes the copy's spam folder (its entry id and its
// path) and its path is shown.
#ifndef QUORVEL_UI_GENERAL_PAGE_H_
#define QUORVEL_UI_GENERAL_PAGE_H_

#include "ui/options_page.h"

namespace quorvel::ui {

inline constexpr const char* kNotMailFolder =
    "The folder you have selected may not contain mail items.\nPlease, select another folder.";
inline constexpr std::int32_t kPickFolderButton = 0x7401;
inline constexpr std::int32_t kMarkingOptionsButton = 0x7402;

class GeneralPage final : public OptionsPage {
 public:
  GeneralPage(UserSettings& copy, const OptionsContext& context) : copy_(copy), context_(context) {}
  std::string Id() const override;
  Page Build() override;
  bool OnButton(DialogSession& session, std::int32_t button) override;
  void Take(const Dialog& dialog) override;

  // What the pick button does with the folder chosen; false when it was refused.
  bool UseFolder(DialogSession& session, const PickedFolder& folder);

 private:
  UserSettings& copy_;
  const OptionsContext& context_;
};

}  // namespace quorvel::ui

#endif  // QUORVEL_UI_GENERAL_PAGE_H_
