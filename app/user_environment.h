// What a command needs of the user's own state, assembled in one place: the
// settings record, the mail base, the data and module folders and the presenter
// that shows its messages and asks its questions.
//
// Inside a host (a command sent to the running host, or run by a short-lived host of
// its own: CommandIo::hostProcess) these are the host's: the live settings record
// and mail base the add-in works with, and the host's presenter, which asks whoever
// sent the command. A change is therefore seen by the running add-in at once, and the
// host's own save at its end keeps it. Without a host (no profile at all) the command
// loads its own copy and answers at the terminal.
#ifndef QUORVEL_APP_USER_ENVIRONMENT_H_
#define QUORVEL_APP_USER_ENVIRONMENT_H_

#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>

#include "app/command.h"
#include "bayes/mailbase.h"
#include "platform/clock.h"
#include "platform/message_box.h"
#include "platform/process_lock.h"
#include "platform/registry.h"
#include "settings/settings_holder.h"
#include "settings/settings_store.h"
#include "ui/ui.h"

namespace quorvel::app {

// Whether a command changes the settings. One that does holds the settings lock (the
// registry's lock on HKEY_CURRENT_USER, platform/process_lock.h) from before it reads
// the settings until it ends, so that its load, change and save never interleave with
// another command's or a host's save. Inside a host it first takes into the host's
// record what other processes saved meanwhile (SettingsHolder::Refresh).
// kChangeAfterAsking is for a change that waits on a person (the options sheet): the
// lock is not held while they decide, or every save of the host, its stop included,
// would wait for them; the save takes the lock for itself.
enum class SettingsUse { kRead, kChange, kChangeAfterAsking };

class UserEnvironment {
 public:
  // Problems that do not stop the command (settings that did not load, a mail base
  // that could not be seeded) are reported on io.err.
  explicit UserEnvironment(CommandIo& io, SettingsUse use = SettingsUse::kRead);
  UserEnvironment(const UserEnvironment&) = delete;
  UserEnvironment& operator=(const UserEnvironment&) = delete;
  ~UserEnvironment();

  SettingsHolder& settings() { return *settings_; }
  Mailbase& mailbase() { return *mailbase_; }
  platform::MessageBoxes& messageBoxes() { return *presenter_; }
  // Progress and questions of the command: the client's inside a host, else the
  // terminal's.
  ui::Ui& presenter() { return *presenter_; }
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
  void HoldSettings(platform::Registry& registry, CommandIo& io);

  std::unique_ptr<platform::ProcessLock> settingsHold_;  // kChange: for the whole command
  std::unique_ptr<ui::Ui> terminal_;  // when the command brought no presenter; outlives own_
  ui::Ui* presenter_ = nullptr;
  struct Own;  // the state of a command run without a host
  std::unique_ptr<Own> own_;
  outlook::AddInProcess* host_ = nullptr;
  SettingsHolder* settings_ = nullptr;
  Mailbase* mailbase_ = nullptr;
  std::string dataFolder_;
  std::string moduleFolder_;
  SettingsLoadIssues settingsIssues_;
  std::string settingsProblem_;
};

}  // namespace quorvel::app

#endif  // QUORVEL_APP_USER_ENVIRONMENT_H_
