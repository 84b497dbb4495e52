// Loads the settings record from, and saves it to, the current user's registry key
// Software\Veltmark\Quorvel\Settings, one value per binding (setting_bindings.h).
// A list whose stored image reaches 65,536 bytes lives in the spill file
// "<data folder>Settings/<value name>" instead; on load a spill file wins over the
// registry value.
//
// The registry and the clock are borrowed and must outlive the store; the data
// folder is the path that ends with '/' (empty: no spill files can be read or written).
//
// Thread-safety: a store has no state of its own beyond what it borrows; the record
// passed in must not be touched by anyone else during the call (pass a copy, not the
// live record: SettingsHolder::LoadLive and SaveCopy do that).
#ifndef QUORVEL_SETTINGS_SETTINGS_STORE_H_
#define QUORVEL_SETTINGS_SETTINGS_STORE_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/registry.h"
#include "settings/user_settings.h"

namespace quorvel {

// The key that holds the settings, under HKEY_CURRENT_USER.
inline constexpr std::string_view kSettingsKey = "Software\\Veltmark\\Quorvel\\Settings";

// Images of this size and larger go to a spill file rather than the registry.
inline constexpr std::size_t kSpillThreshold = 65'536;

// A spill file larger than this is taken as damaged rather than read into memory.
inline constexpr std::size_t kMaxSpillFileBytes = 256u << 20;

// Entries of SentFromNames not used for this long are dropped at save.
inline constexpr platform::FileTime kSentFromNamesKeep = 90 * platform::kFileTimeDay;

// What a load could not take from the registry. A later save leaves those values as
// they are on disk: writing what memory holds in their place (the defaults) would
// destroy what might still be repaired.
struct SettingsLoadIssues {
  bool keyMissing = false;            // nothing saved yet: the defaults stand
  bool registryDamaged = false;       // the registry file itself does not parse
  std::vector<std::string> unloaded;  // names of the values that did not load
  std::vector<std::string> problems;  // what was wrong with each, in the same order
};

class SettingsStore {
 public:
  // `registry`, `clock` and `files` must outlive the store.
  SettingsStore(platform::Registry& registry, std::string dataFolder, const platform::Clock& clock,
                platform::FileSystem& files = platform::RealFileSystem());

  // Reads every binding into *settings. When the key does not exist, *settings is
  // left as it is and the result is false. A binding whose value is damaged,
  // unreadable or of another type than the binding's keeps its previous value; the
  // other bindings are still read, and the result is false with *error (if given)
  // naming what failed ("<value name>: <what>", "; "-separated) and *issues (if
  // given) listing it.
  bool Load(UserSettings* settings, std::string* error = nullptr,
            SettingsLoadIssues* issues = nullptr) const;

  // Prunes SentSubjs (cutoff: now) and SentFromNames (cutoff: now less 90 days) in
  // *settings, then writes every binding. When the key cannot be created nothing is
  // written. A binding that cannot be written does not stop the others; the result
  // is then false with *error (if given) naming what failed.
  // The values named in leaveAlone->unloaded are not written, nor, when
  // `unchangedSince` is given, the values that equal its own: a process that loaded
  // the record long ago (a host) then writes only what it changed, and a value another
  // process saved meanwhile stays. All values are set in one change of the registry
  // (one write of its file), under the registry's lock on HKEY_CURRENT_USER.
  bool Save(UserSettings* settings, std::string* error = nullptr,
            const SettingsLoadIssues* leaveAlone = nullptr,
            const UserSettings* unchangedSince = nullptr) const;

  const platform::Clock& clock() const { return clock_; }

  // "<data folder>Settings/<value name>", or empty when there is no data folder.
  std::string SpillPath(std::string_view valueName) const;

 private:
  platform::Registry& registry_;
  std::string dataFolder_;
  const platform::Clock& clock_;
  platform::FileSystem& files_;
};

}  // namespace quorvel

#endif  // QUORVEL_SETTINGS_SETTINGS_STORE_H_
