// QVAddIn: the add-in object the host connects. It follows the host's connection
// events and explorer windows, creates the core (IQuorvel2) once a window exists,
// routes the commands of its toolbar, menu and keys to the core, and shuts the core
// down when it is disconnected or its last window closes.
//
// startState: 0 not started, 1 started, -1 waiting for a new window to be activated.
//   0 -> (OnStartupComplete or Activate) -> 1;  0 or 1 -> (NewExplorer) -> -1
//   -1 -> (Activate of that window) -> 1;       any -> (OnDisconnection) -> 0
// A start while a core exists (a second window came to the front) only moves the
// add-in to that window: one core per connection.
//
// Commands: a click in the add-in's window runs OnCommand, with the window in front;
// a command sent to the host runs OnRequestCommand with the request's own explorer,
// which never changes the window the add-in follows (a request's explorer raises no
// NewExplorer and closing it closes nothing else).
//
// Threading: the host's user-interface thread, except OnRequestCommand, which may run
// on a request's own thread (host/add_in.h). mutex_ guards core_ and application_,
// which only the user-interface thread changes; the command runs on a copy of the
// core pointer, without the lock.
#ifndef QUORVEL_OUTLOOK_ADD_IN_H_
#define QUORVEL_OUTLOOK_ADD_IN_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "host/add_in.h"
#include "outlook/quorvel2.h"

namespace quorvel::outlook {

// Command identifiers of the toolbar, menu and keys.
enum CommandId : int {
  kCmdGoodEmail = 32775,
  kCmdJunkEmail = 32776,
  kCmdUnused = 32777,  // has no handler: choosing it does nothing
  kCmdTestMessage = 32778,
  kCmdCheckFolder = 32781,
  kCmdEmptySpamFolder = 32782,
  kCmdOptions = 32783,
  kCmdEmailToSupport = 32787,
  kCmdHelp = 32788,
  kCmdCustomizeToolbar = 32789,
  // Requests only (no button, menu item or key): good e-mail with the senders' domains.
  kCmdGoodEmailDomain = 32790,
  kCmdFirstRunWizard = 32791,  // the command line's `wizard`; no button
};

// What the add-in needs from the rest of the program; every function may be empty.
struct AddInServices {
  CoreFactory createCore;
  // The product's help, opened by the Help command.
  std::string helpPath;
  // Builds the toolbar, menu and keys of a window (each click runs `click` with its
  // command id), and saves their position and removes them again.
  std::function<void(host::Explorer&, std::function<void(int)> click)> buildCommandBars;
  std::function<void(host::Explorer&)> releaseCommandBars;
  // The customize dialog, on the thread of the command that runs it (a request's
  // asks its client); it reaches the window through the application's loop.
  std::function<void(host::Application&)> customizeToolbar;
  // Whether the first-run wizard is still due after InitialWizard (the ShowWizard
  // setting): the core then runs PostStartupActions itself, so the add-in does not.
  std::function<bool()> wizardPending;
  // SelectionChange: a new selection forgets which messages were just found good.
  std::function<void()> selectionChanged;
  // Close: exception reports are no longer offered.
  std::function<void()> disableExceptionReports;
};

class QVAddIn final : public host::AddIn, public std::enable_shared_from_this<QVAddIn> {
 public:
  static std::shared_ptr<QVAddIn> Create(AddInServices services);
  ~QVAddIn() override;

  HRESULT OnConnection(host::Application& application, int connectMode) override;
  HRESULT OnDisconnection(int disconnectMode) override;
  HRESULT OnAddInsUpdate() override { return mapi::S_OK; }
  HRESULT OnStartupComplete() override;
  HRESULT OnBeginShutdown() override { return mapi::S_OK; }
  void WaitUntilIdle() override;
  bool WaitUntilIdleFor(std::chrono::milliseconds limit) override;

  // Runs the command's handler with the window active now. False when the table has
  // no entry for `id` (nothing happens).
  bool OnCommand(int id);
  // Runs the command's handler with `explorer`, a request's (see above). False, unlike
  // OnCommand, for a command of the core while there is no core (the add-in did not
  // start or was disconnected).
  bool OnRequestCommand(int id, host::Explorer& explorer) override;

  int startState() const { return startState_; }
  IQuorvel2* core() const {
    std::lock_guard lock(mutex_);
    return core_.get();
  }
  host::Explorer* explorer() const { return explorer_.get(); }

 private:
  class ExplorerSink;
  class ExplorersSink;
  explicit QVAddIn(AddInServices services);

  // The command table's handler for `id` with `explorer` (may be null); for a
  // `request`, false when the core's command cannot run (no core).
  bool RunCommand(int id, host::Explorer* explorer, bool request);
  bool Start();
  void Shutdown();
  void Listen(const std::shared_ptr<host::Explorer>& explorer);
  void StopListening();
  // Explorer events.
  void NewExplorer(const std::shared_ptr<host::Explorer>& explorer);
  void Activated();
  void SelectionChanged();
  void Closed();

  AddInServices services_;
  int startState_ = 0;
  mutable std::mutex mutex_;
  std::shared_ptr<IQuorvel2> core_;           // guarded by mutex_ (written on the UI thread)
  host::Application* application_ = nullptr;  // guarded by mutex_ (written on the UI thread)
  std::shared_ptr<host::Explorer> explorer_;
  std::uint32_t explorerConnection_ = 0;
  std::uint32_t explorersConnection_ = 0;
};

}  // namespace quorvel::outlook

#endif  // QUORVEL_OUTLOOK_ADD_IN_H_
