// AddInProcess: the add-in's process-wide objects, made once by the program and
// shared by the core object, the client extension and the commands a host runs: the
// settings record and its lock, the mail base, the pending queue, the recorder of
// sent mail, the host's own moves, the goodSeen flag and the client extension itself (made by its
// entry point on first use).
//
// Thread-safety: the objects it hands out guard themselves; mutex_ guards the
// extension pointer, the settings' load issues and whether the mail base is open.
#ifndef QUORVEL_OUTLOOK_ADD_IN_PROCESS_H_
#define QUORVEL_OUTLOOK_ADD_IN_PROCESS_H_

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "bayes/mailbase.h"
#include "host/client_extension.h"
#include "outlook/own_moves.h"
#include "outlook/pending_queue.h"
#include "outlook/sent_mail.h"
#include "outlook/unsaved_markings.h"
#include "platform/clock.h"
#include "platform/message_box.h"
#include "platform/registry.h"
#include "settings/settings_holder.h"
#include "settings/settings_store.h"

namespace quorvel::outlook {

// What the program provides; every reference must outlive the AddInProcess.
struct AddInEnvironment {
  platform::Registry& registry;
  const platform::Clock& clock;
  // The boxes the mail base and the client extension show their messages with.
  platform::MessageBoxes& messageBoxes;
  std::string dataFolder;    // ends with '/'; empty when unknown
  std::string moduleFolder;  // ends with '/'
};

class AddInProcess {
 public:
  explicit AddInProcess(AddInEnvironment environment);
  AddInProcess(const AddInProcess&) = delete;
  AddInProcess& operator=(const AddInProcess&) = delete;

  const AddInEnvironment& environment() const { return env_; }
  SettingsHolder& settings() { return settings_; }
  SettingsStore settingsStore() const {
    return SettingsStore(env_.registry, env_.dataFolder, env_.clock);
  }
  Mailbase& mailbase() { return mailbase_; }

  // Loads the live settings record from the registry, remembering what did not load
  // so that every later save leaves those values as they are on disk. False when
  // something did not load (a user who never saved settings has only the defaults:
  // that is no failure).
  bool LoadSettings();
  // Loads them unless a load happened already (a command run by a host whose add-in
  // is not loaded finds them unloaded).
  void EnsureSettingsLoaded();
  SettingsLoadIssues settingsIssues() const;
  std::string settingsError() const;  // the load's error text, "" when none
  // Saves a copy of the live record, leaving alone what did not load.
  bool SaveSettings(std::string* error = nullptr) const;
  // Points the mail base at the data folder (seeding it from the module folder) the
  // first time; later calls return the first result without resetting the store, so
  // that counts learned meanwhile stay. The first call settles the markings that a
  // stopped process left unsaved, before the mail base is read.
  bool OpenMailbase(std::string* error = nullptr);
  PendingQueue& queue() { return queue_; }
  SentMailRecorder& recorder() { return recorder_; }
  // The markings whose learning is not known to be saved yet (unsaved_markings.h).
  UnsavedMarkings& unsavedMarkings() { return unsaved_; }
  // The moves the host makes itself (the worker's, markings', undo's).
  OwnMoves& ownMoves() { return ownMoves_; }
  // A good message arrived since the user last changed the selection.
  std::atomic<bool>& goodSeen() { return goodSeen_; }

  // The client extension's entry point: the one extension object, made on first call.
  std::shared_ptr<host::ClientExtension> QVExcHookEntryPoint();

 private:
  AddInEnvironment env_;
  SettingsHolder settings_;
  UnsavedMarkings unsaved_{platform::RealFileSystem(), env_.dataFolder};  // outlives mailbase_
  Mailbase mailbase_;
  PendingQueue queue_;
  SentMailRecorder recorder_;
  OwnMoves ownMoves_{env_.clock};
  std::atomic<bool> goodSeen_{false};
  mutable std::mutex mutex_;
  std::shared_ptr<host::ClientExtension> extension_;  // guarded by mutex_
  bool settingsLoaded_ = false;                       // guarded by mutex_
  SettingsLoadIssues settingsIssues_;                 // guarded by mutex_
  std::string settingsError_;                         // guarded by mutex_
  bool mailbaseOpened_ = false;                       // guarded by mutex_
  bool mailbaseOpenedOk_ = false;                     // guarded by mutex_
  std::string mailbaseError_;                         // guarded by mutex_
};

}  // namespace quorvel::outlook

#endif  // QUORVEL_OUTLOOK_ADD_IN_PROCESS_H_
