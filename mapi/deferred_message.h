// DeferredMessage: a message that is read only when something beyond its identity is
// asked of it.
//
// Opening a message by its entry id is how a caller learns its ids and parent, and
// many callers want no more (the client extension's delivery event, a move by id). A
// store whose messages are costly to read (a file to parse) hands out this wrapper
// instead: GetProps for tags that are all among `identity` is answered from it; every
// other call opens the real message once through `open` and is passed on to it.
//
// When the open fails (the message went away meanwhile), that call and every later one
// that needs the content return the open's failure (MAPI_E_NOT_FOUND, ...).
//
// Thread-safety: like any opened object, one thread at a time.
#ifndef QUORVEL_MAPI_DEFERRED_MESSAGE_H_
#define QUORVEL_MAPI_DEFERRED_MESSAGE_H_

#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "mapi/message.h"

namespace quorvel::mapi {

class DeferredMessage final : public Message {
 public:
  using Opener = std::function<Result<std::shared_ptr<Message>>()>;
  DeferredMessage(std::vector<PropValue> identity, Opener open)
      : identity_(std::move(identity)), open_(std::move(open)) {}

  // Whether the real message has been read.
  bool opened() const { return message_ != nullptr; }

  std::uint32_t ObjectType() const override { return MAPI_MESSAGE; }
  Result<std::vector<PropValue>> GetProps(std::span<const PropTag> tags,
                                          std::uint32_t flags) override;
  Result<std::vector<PropTag>> GetPropList(std::uint32_t flags) override;
  HRESULT SetProps(std::span<const PropValue> values) override;
  HRESULT DeleteProps(std::span<const PropTag> tags) override;
  HRESULT SaveChanges(std::uint32_t flags) override;
  Result<std::shared_ptr<Stream>> OpenProperty(PropTag tag, std::uint32_t flags) override;
  Result<std::vector<PropTag>> GetIDsFromNames(std::span<const PropName> names,
                                               std::uint32_t flags) override;
  Result<std::shared_ptr<Table>> GetRecipientTable(std::uint32_t flags) override;
  Result<std::shared_ptr<Table>> GetAttachmentTable(std::uint32_t flags) override;
  Result<std::shared_ptr<Attach>> OpenAttach(std::uint32_t attachNum, std::uint32_t flags) override;
  Result<std::shared_ptr<Attach>> CreateAttach(std::uint32_t flags) override;
  HRESULT DeleteAttach(std::uint32_t attachNum, std::uint32_t flags) override;
  HRESULT ModifyRecipients(std::uint32_t flags, const RowSet& rows) override;
  HRESULT SetReadFlag(std::uint32_t flags) override;

 private:
  // The real message, opened on first use; null with *hr set when it cannot be.
  Message* Real(HRESULT* hr);
  // Calls `call` on the real message, or returns the open's failure.
  template <typename Call>
  auto Pass(Call call) -> decltype(call(std::declval<Message&>())) {
    HRESULT hr;
    Message* m = Real(&hr);
    if (m == nullptr) return hr;
    return call(*m);
  }

  std::vector<PropValue> identity_;
  Opener open_;
  std::shared_ptr<Message> message_;
  HRESULT failure_ = S_OK;
};

}  // namespace quorvel::mapi

#endif  // QUORVEL_MAPI_DEFERRED_MESSAGE_H_
