#include "ui/option_switches.h"

#include <string>

namespace quorvel::ui {

const std::vector<OptionSwitch>& PageSwitches() {
  static const std::vector<OptionSwitch> table = {
      {"MarkSpamAsRead", "&Automatically mark all spam messages as Read", "general",
       &UserSettings::markSpamAsRead},
      {"TrayNotification", "Show tray notification when new spam received", "general",
       &UserSettings::trayNotification},
      {"RespectOutlookRules", "Do not check messages matched to Outlook Rules", "general",
       &UserSettings::respectOutlookRules},
      {"CheckExternalImages", "&Distrust emails with images downloaded from Internet",
       "phrase-filter", &UserSettings::checkExternalImages},
      {"AutoAddToWhiteList", "A&utomatically add people I e-mail to the White List", "white-list",
       &UserSettings::autoAddToWhiteList},
  };
  return table;
}

std::vector<Control> SwitchBoxes(std::string_view page, const UserSettings& settings) {
  std::vector<Control> boxes;
  for (const OptionSwitch& s : PageSwitches()) {
    if (s.page != page) continue;
    boxes.push_back({.kind = ControlKind::kCheckBox,
                     .id = std::string(s.name),
                     .label = std::string(s.label),
                     .checked = settings.*s.field != 0});
  }
  return boxes;
}

void TakeSwitches(std::string_view page, const Dialog& dialog, UserSettings& settings) {
  for (const OptionSwitch& s : PageSwitches()) {
    if (s.page != page) continue;
    if (const Control* box = dialog.Find(std::string(s.name))) settings.*s.field = box->checked;
  }
}

}  // namespace quorvel::ui
