#include "mapi/imap/imap_core.h"

namespace quorvel::mapi::imap {

Result<std::uint32_t> ImapCore::Advise(const EntryId& id, std::uint32_t eventMask,
                                       std::shared_ptr<AdviseSink> sink) {
  if (!sink || eventMask == 0) return MAPI_E_INVALID_PARAMETER;
  std::lock_guard<std::mutex> lock(sinksMutex_);
  std::uint32_t connection = nextConnection_++;
  sinks_[connection] = Registration{id, eventMask, std::move(sink)};
  return Ok(connection);
}

HRESULT ImapCore::Unadvise(std::uint32_t connection) {
  {
    std::lock_guard<std::mutex> lock(sinksMutex_);
    if (sinks_.erase(connection) == 0) return MAPI_E_NOT_FOUND;
  }
  notifier_.Cancel(connection);
  return S_OK;
}

void ImapCore::Post(std::vector<Notification> notifications) {
  std::lock_guard<std::mutex> lock(sinksMutex_);
  for (const auto& [connection, reg] : sinks_) {
    std::vector<Notification> batch;
    for (const Notification& n : notifications) {
      if (!(n.eventType & reg.mask)) continue;
      if (reg.id.present() && !reg.id.empty() && reg.id != n.entryId && reg.id != n.parentId &&
          reg.id != n.oldParentId && reg.id != StoreId()) {
        continue;
      }
      batch.push_back(n);
    }
    if (!batch.empty()) notifier_.Post(connection, reg.sink, std::move(batch));
  }
}

bool ImapCore::WantsNewMail() {
  std::lock_guard<std::mutex> lock(sinksMutex_);
  for (const auto& [connection, reg] : sinks_) {
    if (reg.mask & (fnevNewMail | fnevObjectCreated)) return true;
  }
  return false;
}

}  // namespace quorvel::mapi::imap
