#include "app/user_environment.h"

#include <ostream>

#include "app/terminal_message_boxes.h"
#include "bayes/mailbase_seed.h"
#include "platform/file_system.h"
#include "platform/registry_file.h"
#include "platform/registry_text.h"
#include "settings/data_folder.h"
#include "settings/settings_store.h"

namespace quorvel::app {
namespace {

// One line per value that did not load: "quorvel: settings: <file>:<line>: value
// "<name>": <what>", or the registry's own error when the file does not parse.
std::string DescribeSettingsIssues(const SettingsLoadIssues& issues, const std::string& error) {
  if (issues.unloaded.empty() || issues.problems.size() != issues.unloaded.size()) {
    return "quorvel: settings: " + error +
           (issues.registryDamaged
                ? "; the settings were not loaded and are not saved until the file is "
                  "repaired or removed\n"
                : "\n");
  }
  const std::string file = platform::RegistryFile(platform::DefaultRegistryDirectory())
                               .FilePath(platform::RegRoot::kCurrentUser);
  // Only for line numbers: a file that cannot be read again gives messages without them.
  std::string text;
  platform::RealFileSystem().ReadFile(file, &text);
  std::string out;
  for (std::size_t i = 0; i < issues.unloaded.size(); ++i) {
    const int line = platform::FindValueLine(text, platform::RegRoot::kCurrentUser, kSettingsKey,
                                             issues.unloaded[i]);
    out += "quorvel: settings: " + file + (line > 0 ? ":" + std::to_string(line) : "") +
           ": value \"" + issues.unloaded[i] + "\": " + issues.problems[i] +
           " (left as it is until repaired)\n";
  }
  return out;
}

}  // namespace

UserEnvironment::UserEnvironment(std::ostream& err, SettingsUse use)
    : messageBoxes_(std::make_unique<TerminalMessageBoxes>(err)),
      registry_(platform::OpenDefaultRegistry()),
      dataFolder_(DefaultDataFolders().DataFolder()),
      moduleFolder_(DefaultDataFolders().ModuleFolder()),
      mailbase_(std::make_unique<Mailbase>(*messageBoxes_)) {
  if (registry_ && use == SettingsUse::kChange &&
      registry_->HoldRoot(platform::RegRoot::kCurrentUser, &settingsHold_) !=
          platform::ERROR_SUCCESS) {
    // The save will say so again, when it cannot take the lock either.
    err << "quorvel: settings: cannot lock the settings: " << registry_->LastError() << "\n";
  }
  if (registry_) {
    SettingsStore store(*registry_, dataFolder_, clock());
    std::string error;
    // A user who never saved settings has no key yet: the defaults stand. Anything
    // else that did not load is reported, value by value, with the file and line.
    if (!settings_.LoadLive(store, &error, &settingsIssues_) && !settingsIssues_.keyMissing) {
      settingsProblem_ = DescribeSettingsIssues(settingsIssues_, error);
      err << settingsProblem_;
    }
  }
  std::string error;
  if (!OpenUserMailbase(*mailbase_, dataFolder_, moduleFolder_, &error)) {
    err << "quorvel: " << error << "\n";
  }
}

UserEnvironment::~UserEnvironment() = default;

bool UserEnvironment::SaveSettings(std::string* error) {
  if (!registry_) {
    *error = "no settings registry";
    return false;
  }
  SettingsStore store(*registry_, dataFolder_, clock());
  return settings_.SaveCopy(store, error, &settingsIssues_);
}

bool UserEnvironment::SettingLoaded(std::string_view valueName) const {
  for (const std::string& name : settingsIssues_.unloaded) {
    if (name == valueName) return false;
  }
  return true;
}

}  // namespace quorvel::app
