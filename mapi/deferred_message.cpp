#include "mapi/deferred_message.h"

#include "mapi/pick_props.h"

namespace quorvel::mapi {

Message* DeferredMessage::Real(HRESULT* hr) {
  if (!message_ && failure_ == S_OK) {
    auto opened = open_ ? open_() : Result<std::shared_ptr<Message>>(MAPI_E_NOT_FOUND);
    if (opened.ok() && opened.value) {
      message_ = std::move(opened.value);
    } else {
      failure_ = opened.ok() ? MAPI_E_NOT_FOUND : opened.hr;
    }
    open_ = nullptr;  // whatever it captured is not needed again
  }
  *hr = failure_;
  return message_.get();
}

Result<std::vector<PropValue>> DeferredMessage::GetProps(std::span<const PropTag> tags,
                                                         std::uint32_t flags) {
  bool identityOnly = !tags.empty() && !message_;
  for (PropTag tag : tags) identityOnly = identityOnly && FindPropId(identity_, tag) != nullptr;
  if (identityOnly) return PickProps(identity_, tags);
  return Pass([&](Message& m) { return m.GetProps(tags, flags); });
}

// Everything else needs the message itself.
Result<std::vector<PropTag>> DeferredMessage::GetPropList(std::uint32_t flags) {
  return Pass([&](Message& m) { return m.GetPropList(flags); });
}
HRESULT DeferredMessage::SetProps(std::span<const PropValue> values) {
  return Pass([&](Message& m) { return m.SetProps(values); });
}
HRESULT DeferredMessage::DeleteProps(std::span<const PropTag> tags) {
  return Pass([&](Message& m) { return m.DeleteProps(tags); });
}
HRESULT DeferredMessage::SaveChanges(std::uint32_t flags) {
  return Pass([&](Message& m) { return m.SaveChanges(flags); });
}
Result<std::shared_ptr<Stream>> DeferredMessage::OpenProperty(PropTag tag, std::uint32_t flags) {
  return Pass([&](Message& m) { return m.OpenProperty(tag, flags); });
}
Result<std::vector<PropTag>> DeferredMessage::GetIDsFromNames(std::span<const PropName> names,
                                                              std::uint32_t flags) {
  return Pass([&](Message& m) { return m.GetIDsFromNames(names, flags); });
}
Result<std::shared_ptr<Table>> DeferredMessage::GetRecipientTable(std::uint32_t flags) {
  return Pass([&](Message& m) { return m.GetRecipientTable(flags); });
}
Result<std::shared_ptr<Table>> DeferredMessage::GetAttachmentTable(std::uint32_t flags) {
  return Pass([&](Message& m) { return m.GetAttachmentTable(flags); });
}
Result<std::shared_ptr<Attach>> DeferredMessage::OpenAttach(std::uint32_t attachNum,
                                                            std::uint32_t flags) {
  return Pass([&](Message& m) { return m.OpenAttach(attachNum, flags); });
}
Result<std::shared_ptr<Attach>> DeferredMessage::CreateAttach(std::uint32_t flags) {
  return Pass([&](Message& m) { return m.CreateAttach(flags); });
}
HRESULT DeferredMessage::DeleteAttach(std::uint32_t attachNum, std::uint32_t flags) {
  return Pass([&](Message& m) { return m.DeleteAttach(attachNum, flags); });
}
HRESULT DeferredMessage::ModifyRecipients(std::uint32_t flags, const RowSet& rows) {
  return Pass([&](Message& m) { return m.ModifyRecipients(flags, rows); });
}
HRESULT DeferredMessage::SetReadFlag(std::uint32_t flags) {
  return Pass([&](Message& m) { return m.SetReadFlag(flags); });
}

}  // namespace quorvel::mapi
