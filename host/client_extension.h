// An Exchange-style client extension: installed into contexts of the client
// (session, send note, ...) and told of deliveries and of messages written.
// Modelled on `IExchExt`, `IExchExtSessionEvents`, `IExchExtMessageEvents` and the
// `IExchExtCallback` the client hands to every event.
//
// Event results follow the extension interfaces: S_OK (0) for "handled / install",
// S_FALSE (1) for "not handled, go on / do not install".
// Threading: events may come on any of the host's threads.
#ifndef QUORVEL_HOST_CLIENT_EXTENSION_H_
#define QUORVEL_HOST_CLIENT_EXTENSION_H_

#include <cstdint>
#include <memory>

#include "mapi/message.h"
#include "mapi/result.h"
#include "mapi/session.h"
#include "mapi/store.h"
#include "mapi/table.h"

namespace quorvel::host {

// Contexts (EECONTEXT_...).
enum ExtensionContext : std::uint32_t {
  EECONTEXT_SESSION = 1,
  EECONTEXT_VIEWER = 2,
  EECONTEXT_SENDNOTEMESSAGE = 6,
  EECONTEXT_SENDPOSTMESSAGE = 8,
  EECONTEXT_SENDRESENDMESSAGE = 11,
};
// GetVersion flag and the version this host reports (build 13 in the high word).
inline constexpr std::uint32_t EECBGV_GETBUILDVERSION = 1;
inline constexpr std::uint32_t kHostBuildVersion = 0x000D0000;

class ExchExtCallback {
 public:
  virtual ~ExchExtCallback() = default;
  virtual mapi::Result<std::uint32_t> GetVersion(std::uint32_t flags) = 0;
  virtual mapi::Result<std::shared_ptr<mapi::Session>> GetSession() = 0;
  // The store and message the event is about.
  struct Object {
    std::shared_ptr<mapi::MsgStore> store;
    std::shared_ptr<mapi::Message> message;
  };
  virtual mapi::Result<Object> GetObject() = 0;
  // The recipients of the message being written.
  virtual mapi::Result<std::shared_ptr<mapi::Table>> GetRecipients() = 0;
};

class ClientExtension {
 public:
  virtual ~ClientExtension() = default;
  virtual mapi::HRESULT Install(ExchExtCallback& callback, std::uint32_t context,
                                std::uint32_t flags) = 0;
  virtual mapi::HRESULT OnDelivery(ExchExtCallback& callback) = 0;
  virtual mapi::HRESULT OnWriteComplete(ExchExtCallback& callback, std::uint32_t flags) = 0;
};

}  // namespace quorvel::host

#endif  // QUORVEL_HOST_CLIENT_EXTENSION_H_
