// quorvel option [--json] [NAME [VALUE]]
//
// Without NAME: every switch of the General, Phrase Filter and White List pages and of
// the Marking Options, with its value. With NAME: that switch's value. With VALUE (1
// or 0; on/off, true/false and yes/no too): opens the options sheet, sets the switch's
// check box on its page (a marking option in the Marking Options dialog, whose rules
// apply: the sender's domain is added only while the sender's address is) and presses
// OK, which saves. Names are the settings' value names, in any case.
//
// Exit status: 0; 1 when the value could not be set or the settings cannot be saved;
// 2 for an unknown name or a value that is not a switch's.
#include <CLI/CLI.hpp>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <string_view>
#include <vector>

#include "app/command_sheet.h"
#include "app/commands.h"
#include "platform/code_page.h"
#include "platform/printable.h"
#include "ui/marking_dialogs.h"
#include "ui/option_switches.h"

namespace quorvel::app {
namespace {

// A switch by its value name: on a page (check box id = name) or in the Marking
// Options dialog (its check box id).
struct Switch {
  std::string_view name;
  std::uint32_t UserSettings::*field;
  const char* markingBox;  // null: on a page
};

std::vector<Switch> Switches() {
  std::vector<Switch> all;
  for (const ui::OptionSwitch& s : ui::PageSwitches()) all.push_back({s.name, s.field, nullptr});
  const Switch marking[] = {
      {"GoodAddWhiteList", &UserSettings::goodAddWhiteList, ui::kGoodAddWhiteList},
      {"GoodAddDomainWhiteList", &UserSettings::goodAddDomainWhiteList, ui::kGoodAddDomain},
      {"GoodMoveInbox", &UserSettings::goodMoveInbox, ui::kGoodMoveInbox},
      {"GoodApplyToAll", &UserSettings::goodApplyToAll, ui::kGoodApplyToAll},
      {"JunkAddBlackList", &UserSettings::junkAddBlackList, ui::kJunkAddBlackList},
      {"JunkMoveInbox", &UserSettings::junkMoveInbox, ui::kJunkMoveInbox},
      {"JunkApplyToAll", &UserSettings::junkApplyToAll, ui::kJunkApplyToAll},
  };
  all.insert(all.end(), std::begin(marking), std::end(marking));
  return all;
}

std::optional<bool> ParseSwitch(std::string_view text) {
  const std::string lower = platform::ToLowerAnsi(text);
  for (const char* yes : {"1", "on", "true", "yes"}) {
    if (lower == yes) return true;
  }
  for (const char* no : {"0", "off", "false", "no"}) {
    if (lower == no) return false;
  }
  return std::nullopt;
}

struct OptionOptions {
  bool json = false;
  std::string name;
  std::string value;
  bool hasValue = false;
};

int Print(const std::vector<Switch>& shown, const UserSettings& settings, bool json,
          CommandIo& io) {
  if (json) {
    nlohmann::json out = nlohmann::json::object();
    for (const Switch& s : shown) out[std::string(s.name)] = settings.*s.field;
    io.out << out.dump() << "\n";
    return kExitOk;
  }
  for (const Switch& s : shown) io.out << s.name << " " << settings.*s.field << "\n";
  return kExitOk;
}

int Set(const Switch& s, bool value, CommandIo& io) {
  UserEnvironment env(io, SettingsUse::kChange);
  CommandSheet sheet(env, io);
  if (!sheet.Loaded({s.name})) return kExitFailure;
  UserSettings& copy = sheet.sheet().copy();
  if (s.markingBox == nullptr) {
    sheet.sheet().dialog().Find(std::string(s.name))->checked = value;
  } else {
    // "&Edit..." on the General page: the Marking Options dialog over the sheet's copy.
    ui::Dialog marking = ui::MarkingOptionsDialog(copy);
    marking.Find(s.markingBox)->checked = value;
    ui::StoreMarkingOptions(marking, copy);
    if ((copy.*s.field != 0) != value) {
      io.err << "quorvel: " << s.name << " can be set only while GoodAddWhiteList is set; "
             << "nothing was changed\n";
      return kExitFailure;
    }
  }
  if (const int status = sheet.OkAndSave(); status != kExitOk) return status;
  io.out << s.name << " " << (value ? 1 : 0) << "\n";
  return kExitOk;
}

int Run(const OptionOptions& o, CommandIo& io) {
  const std::vector<Switch> all = Switches();
  if (o.name.empty()) {
    UserEnvironment env(io);
    return Print(all, env.settings().CopyOut(), o.json, io);
  }
  const Switch* found = nullptr;
  for (const Switch& s : all) {
    if (platform::EqualsNoCase(s.name, o.name)) found = &s;
  }
  if (found == nullptr) {
    io.err << "quorvel: there is no option \"" << platform::Printable(o.name)
           << "\"; `quorvel option` lists them\n";
    return kExitUsage;
  }
  if (!o.hasValue) {
    UserEnvironment env(io);
    return Print({*found}, env.settings().CopyOut(), o.json, io);
  }
  const std::optional<bool> value = ParseSwitch(o.value);
  if (!value) {
    io.err << "quorvel: " << found->name << " is a switch: 1 or 0 (on/off, true/false, "
           << "yes/no), not \"" << platform::Printable(o.value.substr(0, 64))
           << (o.value.size() > 64 ? "..." : "") << "\"\n";
    return kExitUsage;
  }
  return Set(*found, *value, io);
}

void SetupOption(CLI::App& sub, CommandIo& io) {
  auto o = std::make_shared<OptionOptions>();
  sub.add_flag("--json", o->json, "Print the values as one JSON object");
  sub.add_option("NAME", o->name, "The option's settings value name (MarkSpamAsRead, ...)");
  CLI::Option* value = sub.add_option("VALUE", o->value, "1 or 0 (on/off, true/false, yes/no)");
  sub.callback([o, value, &io] {
    o->hasValue = value->count() > 0;
    io.status = Run(*o, io);
  });
}

}  // namespace

Command OptionCommand() {
  return {"option", "Show the options' switches, or set one as its options page does", SetupOption};
}

}  // namespace quorvel::app
