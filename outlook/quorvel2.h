// IQuorvel2: what the add-in object asks of the core object `QVCore`, which holds the
// add-in's working state while the host runs. The add-in creates the core through a
// factory the program supplies, calls Initialize with the host's application, then
// InitialWizard and PostStartupActions, routes its commands to it with the explorer
// that is active at that moment (a click in a window) or with a request's own explorer
// (a command sent to the host), and calls Shutdown when it is disconnected.
//
// Every method returns a COM result (S_OK for success); the marking and command
// methods return S_OK whatever happens inside. All run on the host's user-interface
// thread, except that a command sent to the host may run its command method on the
// request's own thread once requests get threads of their own (host/add_in.h): such a
// method reaches the object model through the application's loop.
#ifndef QUORVEL_OUTLOOK_QUORVEL2_H_
#define QUORVEL_OUTLOOK_QUORVEL2_H_

#include <chrono>
#include <functional>
#include <memory>

#include "host/application.h"
#include "host/explorer.h"
#include "mapi/result.h"

namespace quorvel::outlook {

using mapi::HRESULT;

class IQuorvel2 {
 public:
  virtual ~IQuorvel2() = default;
  // `application` may be null; when given it outlives the core's use of it (until
  // Shutdown returns).
  virtual HRESULT Initialize(host::Application* application) = 0;
  virtual HRESULT Shutdown() = 0;
  virtual HRESULT ShowOptions() = 0;
  // The explorer whose current folder and selection the command acts on (may be null).
  virtual HRESULT MarkAsGood(host::Explorer* explorer) = 0;
  virtual HRESULT MarkAsJunk(host::Explorer* explorer) = 0;
  virtual HRESULT CheckFolder(host::Explorer* explorer) = 0;
  virtual HRESULT TestMessage(host::Explorer* explorer) = 0;
  virtual HRESULT EmailToSupport() = 0;
  virtual HRESULT DeleteSpam() = 0;
  virtual HRESULT PostStartupActions() = 0;
  virtual HRESULT InitialWizard() = 0;
  // After InitialWizard and not in the published interface: good e-mail, always adding
  // the senders' domains to the White List. Only a request reaches it (`quorvel good
  // --domain`); no toolbar button, menu item or key does.
  virtual HRESULT MarkAsGoodWithDomain(host::Explorer* /*explorer*/) {
    return mapi::MakeResult(0x80004001);  // E_NOTIMPL
  }
};

// Not part of the automation interface: a core that can say when the work pending
// at its start is done implements it too, so that a host that runs once can wait.
class PendingWork {
 public:
  virtual ~PendingWork() = default;
  // Returns when the mail that was waiting at the start has been judged (and what
  // arrived meanwhile), or at once when nothing runs.
  virtual void WaitUntilIdle() = 0;
  // The same, waiting at most `limit`: whether that work is done.
  virtual bool WaitUntilIdleFor(std::chrono::milliseconds limit) = 0;
};

// The first-run wizard run on demand (a command), whether or not it is due. A core
// implements it beside IQuorvel2.
class OnDemandWizard {
 public:
  virtual ~OnDemandWizard() = default;
  virtual HRESULT RunWizardOnDemand() = 0;
};

// Makes a core object; null when it cannot be made (the add-in's start then fails).
using CoreFactory = std::function<std::shared_ptr<IQuorvel2>()>;

}  // namespace quorvel::outlook

#endif  // QUORVEL_OUTLOOK_QUORVEL2_H_
