// AddInProcess: the add-in's process-wide objects, made once by the program and
// shared by the core object and the client extension: the settings record and its
// lock, the mail base, the pending queue, the recorder of sent mail, the goodSeen
// flag and the client extension itself (made by its entry point on first use).
//
// Thread-safety: the objects it hands out guard themselves; mutex_ guards only the
// extension pointer.
#ifndef QUORVEL_OUTLOOK_ADD_IN_PROCESS_H_
#define QUORVEL_OUTLOOK_ADD_IN_PROCESS_H_

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "bayes/mailbase.h"
#include "host/client_extension.h"
#include "outlook/pending_queue.h"
#include "outlook/sent_mail.h"
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
  PendingQueue& queue() { return queue_; }
  SentMailRecorder& recorder() { return recorder_; }
  // A good message arrived since the user last changed the selection.
  std::atomic<bool>& goodSeen() { return goodSeen_; }

  // The client extension's entry point: the one extension object, made on first call.
  std::shared_ptr<host::ClientExtension> QVExcHookEntryPoint();

 private:
  AddInEnvironment env_;
  SettingsHolder settings_;
  Mailbase mailbase_;
  PendingQueue queue_;
  SentMailRecorder recorder_;
  std::atomic<bool> goodSeen_{false};
  std::mutex mutex_;
  std::shared_ptr<host::ClientExtension> extension_;  // guarded by mutex_
};

}  // namespace quorvel::outlook

#endif  // QUORVEL_OUTLOOK_ADD_IN_PROCESS_H_
