// ProfileHost: the mail client for one profile, in this process. Opening it takes the
// profile's host lock (at most one host per profile), opens the profile's default
// store (its Maildir, or what the command line's opener makes of the profile), and builds the
// namespace, the application and the main window (an explorer on the Inbox, in front). Connect
// loads the add-ins from their registration and connects them; Disconnect takes them down again, as
// the mail client does when it closes.
//
// The lock is held for the host's whole life, so whatever runs inside a host (a
// command routed to it, or run by a short-lived host of its own) runs under the
// profile's lock: no other process loads, changes and saves that profile's settings
// or mail base meanwhile.
//
// Threading: Open, Connect, Disconnect and the destructor on the thread that runs the
// application's user-interface loop (or that owns a short-lived host).
#ifndef QUORVEL_HOST_PROFILE_HOST_H_
#define QUORVEL_HOST_PROFILE_HOST_H_

#include <atomic>
#include <chrono>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/add_in_loader.h"
#include "host/application.h"
#include "host/extension_events.h"
#include "host/profiles.h"
#include "mapi/store.h"
#include "platform/lock_file.h"
#include "platform/registry.h"

namespace quorvel::host {

// Opens a profile's default store, noticing new mail when `watch`; a failure comes
// with what went wrong in *error, for the user.
using StoreOpener = std::function<mapi::Result<std::shared_ptr<mapi::MsgStore>>(
    const Profile& profile, bool watch, std::string* error)>;

// The opener of Maildir profiles: the profile's Maildir, with the standard folders
// made where missing.
mapi::Result<std::shared_ptr<mapi::MsgStore>> OpenMaildirProfileStore(const Profile& profile,
                                                                      bool watch,
                                                                      std::string* error);

struct HostConfig {
  Profile profile;
  platform::Registry* registry = nullptr;  // add-in registrations
  AddInFactories factories;
  ui::Ui* presenter = nullptr;  // the host's own; outlives the host
  std::string lockPath;         // the profile's lock file in the data folder
  bool watch = true;            // notice new mail while running
  StoreOpener openStore;        // unset: OpenMaildirProfileStore
};

// The lock file of a profile's host: "<data folder>/host-<profile>.lock".
std::string HostLockPath(const std::string& dataFolder, const std::string& profile);

class ProfileHost {
 public:
  // A clear error (a host of this profile runs already, with its PID; the store
  // cannot be opened, and why) leaves nothing behind.
  static std::unique_ptr<ProfileHost> Open(HostConfig config, std::string* error);
  ~ProfileHost();

  // Loads the client extension and the add-ins; installs the extension and raises its
  // events from then on (extension_events.h), then connects the add-ins and tells them
  // the start is complete. Returns what was not loaded, one sentence each.
  std::vector<std::string> Connect();
  // Stops the extension's events and disconnects every add-in (the core saves its
  // state); idempotent.
  void Disconnect();
  // Returns when the add-ins have done the work pending at their start.
  void WaitUntilIdle();
  // The same, waiting at most about `limit`: whether they have.
  bool WaitUntilIdleFor(std::chrono::milliseconds limit);

  Application& application() { return *application_; }
  const Profile& profile() const { return config_.profile; }
  // The default store (the one the profile names).
  mapi::MsgStore& store() const { return *store_; }
  std::time_t since() const { return since_; }
  // Connected and serving (any thread).
  bool ready() const { return ready_.load(); }
  // A connected add-in by class id, or null.
  std::shared_ptr<AddIn> FindAddIn(const std::string& clsid) const;
  // The connected add-ins, in the order they were loaded (command_request.h clicks
  // their commands). A copy: on the user-interface thread, or on a request's thread
  // while the host serves it.
  std::vector<std::shared_ptr<AddIn>> AddIns() const;
  // The loaded client extension's events; null when none is loaded.
  const ExtensionEvents* extensionEvents() const { return extensionEvents_.get(); }

 private:
  explicit ProfileHost(HostConfig config) : config_(std::move(config)) {}

  HostConfig config_;
  std::unique_ptr<platform::LockFile> lock_;
  std::unique_ptr<Application> application_;
  std::shared_ptr<Explorer> mainWindow_;
  std::shared_ptr<mapi::MsgStore> store_;  // the default store
  LoadResult loaded_;
  std::vector<std::string> bookNotes_;  // address books that could not be read
  std::shared_ptr<ExtensionEvents> extensionEvents_;
  std::time_t since_ = 0;
  std::atomic<bool> ready_{false};
};

}  // namespace quorvel::host

#endif  // QUORVEL_HOST_PROFILE_HOST_H_
