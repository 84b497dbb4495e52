#include "app/user_environment.h"

#include <ostream>

#include "app/terminal_message_boxes.h"
#include "bayes/mailbase_seed.h"
#include "platform/registry_file.h"
#include "settings/data_folder.h"
#include "settings/settings_store.h"

namespace quorvel::app {

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
    // A user who never saved settings has no key yet: the defaults stand. Only a
    // damaged value is worth a word.
    if (!settings_.LoadLive(store, &error) &&
        registry_->KeyExists(platform::RegRoot::kCurrentUser, kSettingsKey) && !error.empty()) {
      err << "quorvel: settings: " << error << "\n";
    }
  }
  if (!OpenUserMailbase(*mailbase_, dataFolder_, moduleFolder_)) {
    err << "quorvel: cannot create the data folder \"" << dataFolder_ << "\"\n";
  }
}

UserEnvironment::~UserEnvironment() = default;

bool UserEnvironment::SaveSettings(std::string* error) {
  if (!registry_) {
    *error = "no settings registry";
    return false;
  }
  SettingsStore store(*registry_, dataFolder_, clock());
  return settings_.SaveCopy(store, error);
}

}  // namespace quorvel::app
