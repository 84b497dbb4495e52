#include "mapi/message_batch.h"

namespace quorvel::mapi {

HRESULT ForEachMessage(std::span<const EntryId> ids,
                       const std::function<HRESULT(const EntryId&)>& act) {
  bool missing = false;
  HRESULT failure = S_OK;
  for (const EntryId& id : ids) {
    HRESULT hr = act(id);
    if (hr == MAPI_E_NOT_FOUND) {
      missing = true;
    } else if (Failed(hr) && Succeeded(failure)) {
      failure = hr;
    }
  }
  if (Failed(failure)) return failure;
  return missing ? MAPI_W_PARTIAL_COMPLETION : S_OK;
}

}  // namespace quorvel::mapi
