// The switches of the options pages as check boxes whose ids are their registry value
// names, each with the settings field it edits. A page builds its check boxes from
// this table and takes them back through it, and `quorvel option` names them the same
// way.
#ifndef QUORVEL_UI_OPTION_SWITCHES_H_
#define QUORVEL_UI_OPTION_SWITCHES_H_

#include <cstdint>
#include <string_view>
#include <vector>

#include "settings/user_settings.h"
#include "ui/dialog.h"

namespace quorvel::ui {

struct OptionSwitch {
  std::string_view name;   // the registry value and the check box's id
  std::string_view label;  // the check box's text
  std::string_view page;   // the id of the page (or dialog) that holds it
  std::uint32_t UserSettings::*field;
};

// Every switch of the General, Phrase Filter and White List pages, in page order.
const std::vector<OptionSwitch>& PageSwitches();

// The check boxes of `page`'s switches, set from `settings`.
std::vector<Control> SwitchBoxes(std::string_view page, const UserSettings& settings);
// Takes `page`'s check boxes from `dialog` into `settings` (1 set, 0 clear).
void TakeSwitches(std::string_view page, const Dialog& dialog, UserSettings& settings);

}  // namespace quorvel::ui

#endif  // QUORVEL_UI_OPTION_SWITCHES_H_
