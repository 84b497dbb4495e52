// Calls that act on several messages, each on its own (moving, copying, deleting a
// selection): a message that fails stays where it was, and the others still go.
#ifndef QUORVEL_MAPI_MESSAGE_BATCH_H_
#define QUORVEL_MAPI_MESSAGE_BATCH_H_

#include <functional>
#include <span>

#include "mapi/entry_id.h"
#include "mapi/result.h"

namespace quorvel::mapi {

// Runs `act` for every id, in order, and sums up what happened: the first failure
// other than MAPI_E_NOT_FOUND; else MAPI_W_PARTIAL_COMPLETION when some message was
// not found; else S_OK.
HRESULT ForEachMessage(std::span<const EntryId> ids,
                       const std::function<HRESULT(const EntryId&)>& act);

}  // namespace quorvel::mapi

#endif  // QUORVEL_MAPI_MESSAGE_BATCH_H_
