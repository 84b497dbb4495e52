// What a command needs of the user's own state, assembled in one place: the
// registry (settings), the data and module folders, the settings record, the mail
// base and the message boxes. Opening it loads the settings and points the mail
// base at the user's files, seeding them from the module folder on first use.
#ifndef QUORVEL_APP_USER_ENVIRONMENT_H_
#define QUORVEL_APP_USER_ENVIRONMENT_H_

#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>

#include "bayes/mailbase.h"
#include "platform/clock.h"
#include "platform/message_box.h"
#include "platform/registry.h"
#include "settings/settings_holder.h"
#include "settings/settings_store.h"

namespace quorvel::app {

// Whether a command changes the settings. One that does holds the settings lock (the
// registry's lock on HKEY_CURRENT_USER) from before the load until it ends, so that
// its load, change and save never interleave with another command's or a host's.
enum class SettingsUse { kRead, kChange };

class UserEnvironment {
 public:
  // Problems that do not stop the command (no settings yet, no data folder) are
  // reported on `err` by the caller through warnings().
  explicit UserEnvironment(std::ostream& err, SettingsUse use = SettingsUse::kRead);
  UserEnvironment(const UserEnvironment&) = delete;
  UserEnvironment& operator=(const UserEnvironment&) = delete;
  ~UserEnvironment();

  SettingsHolder& settings() { return settings_; }
  Mailbase& mailbase() { return *mailbase_; }
  platform::MessageBoxes& messageBoxes() { return *messageBoxes_; }
  const platform::Clock& clock() { return platform::DefaultClock(); }
  const std::string& dataFolder() const { return dataFolder_; }
  const std::string& moduleFolder() const { return moduleFolder_; }

  // Writes the settings record back to the registry (and its spill files). Values
  // that failed to load are left as they are on disk. On failure returns false with
  // the reason in *error.
  bool SaveSettings(std::string* error);

  // True when the settings value `valueName` loaded (or was never saved); a command
  // that would change it must refuse otherwise.
  bool SettingLoaded(std::string_view valueName) const;
  // What went wrong loading the settings ("" when nothing did), for error messages.
  const std::string& settingsProblem() const { return settingsProblem_; }

 private:
  std::unique_ptr<platform::MessageBoxes> messageBoxes_;
  std::unique_ptr<platform::Registry> registry_;
  std::unique_ptr<platform::ProcessLock> settingsHold_;  // kChange: held for the command
  std::string dataFolder_;
  std::string moduleFolder_;
  SettingsHolder settings_;
  SettingsLoadIssues settingsIssues_;
  std::string settingsProblem_;
  std::unique_ptr<Mailbase> mailbase_;
};

}  // namespace quorvel::app

#endif  // QUORVEL_APP_USER_ENVIRONMENT_H_
