// What the host loads: a COM add-in (the `IDTExtensibility2` events) and an
// Exchange-style client extension (client_extension.h), each made by a factory that
// the program registers under the add-in's ProgID. The host never includes an
// add-in's code; it finds the factory by the name its registration gives.
#ifndef QUORVEL_HOST_ADD_IN_H_
#define QUORVEL_HOST_ADD_IN_H_

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "host/application.h"
#include "host/client_extension.h"

namespace quorvel::host {

// OnConnection's modes (ext_ConnectMode) and OnDisconnection's (ext_DisconnectMode).
enum ConnectMode : int { ext_cm_AfterStartup = 0, ext_cm_Startup = 1 };
enum DisconnectMode : int { ext_dm_HostShutdown = 0, ext_dm_UserClosed = 1 };

class AddIn {
 public:
  virtual ~AddIn() = default;
  // `application` outlives the connection (until OnDisconnection returns).
  virtual HRESULT OnConnection(Application& application, int connectMode) = 0;
  virtual HRESULT OnDisconnection(int disconnectMode) = 0;
  virtual HRESULT OnAddInsUpdate() = 0;
  virtual HRESULT OnStartupComplete() = 0;
  virtual HRESULT OnBeginShutdown() = 0;
  // Not an add-in event of the mail client: a host that runs once (`quorvel run
  // --once`) calls it after the start and before the disconnection, and it returns
  // when the add-in has finished the work that was pending at its start.
  virtual void WaitUntilIdle() {}
  // The same, waiting at most `limit`: whether the work is done (false: still going).
  virtual bool WaitUntilIdleFor(std::chrono::milliseconds limit) {
    (void)limit;
    WaitUntilIdle();
    return true;
  }
  // Not an add-in event of the mail client either: a command sent to the host (the
  // command line, a desktop window's click) enters through the add-in's command
  // handler with the explorer built for the request, instead of the window in front.
  // False when the add-in has no such command. It may be called on a request's own
  // thread, not the user-interface thread: the add-in reaches its windows and the
  // object model through `application.loop()` there; the request's explorer is only
  // read, and only while the call runs. The host ends every request before it
  // disconnects the add-in.
  virtual bool OnRequestCommand(int /*commandId*/, Explorer& /*explorer*/) { return false; }
};

// The factories the program offers, by ProgID ("Quorvel.1") for add-ins and by module
// path for client extensions. A factory may return null (creation failed).
struct AddInFactories {
  std::map<std::string, std::function<std::shared_ptr<AddIn>()>> addIns;
  std::function<std::shared_ptr<ClientExtension>()> clientExtension;
};

}  // namespace quorvel::host

#endif  // QUORVEL_HOST_ADD_IN_H_
