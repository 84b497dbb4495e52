// The one live settings record of the process and the settings lock that guards it.
//
// Every read or write of the live record happens under the lock: take a Locked
// handle for a short look-up (the classifier holds one for the look-ups of one rule),
// or copy the whole record in or out. The lock is never to be held across a dialog,
// a mail-store call or a save; long work (the options sheet, saving) uses a copy.
// The lock is re-entrant, like the window system's critical section, so a thread
// that already holds it may call CopyOut or GetSpamFolder without deadlocking.
//
// Thread-safety: every member may be called from any thread.
#ifndef QUORVEL_SETTINGS_SETTINGS_HOLDER_H_
#define QUORVEL_SETTINGS_SETTINGS_HOLDER_H_

#include <mutex>
#include <optional>
#include <string>

#include "settings/settings_store.h"
#include "settings/user_settings.h"

namespace quorvel {

class SettingsHolder {
 public:
  // The live record under the settings lock; the lock is released when the handle
  // goes away. Do not keep references into the record past the handle.
  class Locked {
   public:
    UserSettings& operator*() const { return *settings_; }
    UserSettings* operator->() const { return settings_; }

   private:
    friend class SettingsHolder;
    Locked(std::recursive_mutex& mutex, UserSettings* settings)
        : lock_(mutex), settings_(settings) {}
    std::unique_lock<std::recursive_mutex> lock_;
    UserSettings* settings_;
  };

  // Starts with the defaults.
  SettingsHolder() = default;
  SettingsHolder(const SettingsHolder&) = delete;
  SettingsHolder& operator=(const SettingsHolder&) = delete;

  Locked Lock() { return Locked(mutex_, &live_); }

  // Copy out / copy in: the whole record, under the lock.
  UserSettings CopyOut() const;
  void CopyIn(const UserSettings& settings);
  void CopyIn(UserSettings&& settings);

  // Get and set the spam folder of the current profile, under the lock.
  std::optional<SpamFolderRef> GetSpamFolder() const;
  void SetSpamFolder(const SpamFolderRef& ref);

  // Loads the live record from the store: reads into a copy without the lock and
  // puts the result in place under it. On failure the record keeps the bindings
  // that could be read and its previous values for the rest. Meant for start-up,
  // before other threads change the record: a change made meanwhile is overwritten.
  bool LoadLive(const SettingsStore& store, std::string* error = nullptr,
                SettingsLoadIssues* issues = nullptr);

  // Takes from the store every value this process has not changed since its last
  // LoadLive or SaveCopy: another process may have saved it meanwhile. The values it
  // changed stay, to be saved. A command that changes a long-lived record (a host's)
  // calls it under the registry's lock before its change. Without an earlier load it
  // is LoadLive.
  bool Refresh(const SettingsStore& store, std::string* error = nullptr,
               SettingsLoadIssues* issues = nullptr);

  // Save a copy: copies the live record under the lock, releases it and saves the
  // copy, so that the registry and files are written without the lock held. Only
  // the values that changed since the last LoadLive or SaveCopy are written: a value
  // another process saved meanwhile is not overwritten by the one loaded before.
  bool SaveCopy(const SettingsStore& store, std::string* error = nullptr,
                const SettingsLoadIssues* leaveAlone = nullptr) const;

 private:
  mutable std::recursive_mutex mutex_;
  UserSettings live_;  // guarded by mutex_
  // The record as last loaded or saved, guarded by mutex_.
  mutable std::optional<UserSettings> lastKnown_;
};

}  // namespace quorvel

#endif  // QUORVEL_SETTINGS_SETTINGS_HOLDER_H_
