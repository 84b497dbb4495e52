// One page of the options sheet (options_sheet.h) and what the sheet hands its pages.
//
// A page builds its part of the sheet's model from the sheet's copy of the settings,
// handles the presses of its own buttons (changing the copy and the model through the
// session, so that a long list is never sent again for one row), says whether its
// controls are acceptable, and takes them into the copy on OK. Every page works on the
// sheet's copy only: nothing reaches the live record before OK.
//
// Threading: a sheet and its pages belong to the thread that runs the sheet.
#ifndef QUORVEL_UI_OPTIONS_PAGE_H_
#define QUORVEL_UI_OPTIONS_PAGE_H_

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/clock.h"
#include "settings/settings_holder.h"
#include "settings/user_settings.h"
#include "ui/ui.h"

namespace quorvel::ui {

// A folder the user picked for spam: its entry id (hexadecimal text), its path as
// the General page shows it ("Personal Folders -> Inbox -> Spam", UTF-8) and whether
// it holds mail (its default item type is the mail item).
struct PickedFolder {
  std::string entryId;
  std::string path;
  bool holdsMail = true;
};

// What the sheet needs of the program around it. `live`, `ui` and `clock` must
// outlive the sheet; the functions may be empty (the control they serve is then
// disabled, or the action does nothing).
struct OptionsContext {
  SettingsHolder& live;
  Ui& ui;
  const platform::Clock& clock;
  // The learned counts of the mail base, shown on the Phrase Filter page.
  std::uint64_t learnedJunk = 0;
  std::uint64_t learnedGood = 0;
  // The mail client's folder picker: the folder chosen, or nothing when cancelled.
  std::function<std::optional<PickedFolder>()> pickFolder{};
  // Opens the user's manual (the sheet's Help button).
  std::function<void()> openHelp{};
  // Whether a file exists, for the save dialog's question before replacing it.
  std::function<bool(const std::string& path)> fileExists{};
  // A path the user typed as the program opens it (relative to the user's folder).
  std::function<std::string(const std::string& path)> resolvePath{};
};

class OptionsSheet;

class OptionsPage {
 public:
  virtual ~OptionsPage() = default;
  // The page's id and its model, filled from the sheet's copy.
  virtual std::string Id() const = 0;
  virtual Page Build() = 0;
  // A press of one of the page's own buttons; false when the button is not its own.
  virtual bool OnButton(DialogSession& /*session*/, std::int32_t /*button*/) { return false; }
  // "" when the page's controls are acceptable, else what is wrong with them.
  virtual std::string Refuse(const Dialog& /*dialog*/) const { return ""; }
  // Takes the page's controls into the sheet's copy (after every page accepted).
  virtual void Take(const Dialog& /*dialog*/) {}
};

}  // namespace quorvel::ui

#endif  // QUORVEL_UI_OPTIONS_PAGE_H_
