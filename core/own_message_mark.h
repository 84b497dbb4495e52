// The own-message mark: a long property (PR_OWN_MESSAGE_MARK, 0x7CAF0003) that the
// classifier writes on a message it has once accepted as the user's own, so that the
// message is accepted again without its subject being looked up. The mark is present
// when the property reads 998712; any other value, or none, is no mark.
//
// The mark is read and written directly on the message, never through the record's
// cache. Thread-safety: the record's.
#ifndef QUORVEL_CORE_OWN_MESSAGE_MARK_H_
#define QUORVEL_CORE_OWN_MESSAGE_MARK_H_

#include "core/message_record.h"
#include "mapi/result.h"

namespace quorvel {

bool HasOwnMessageMark(MessageRecord& record);

// Writes the mark and saves the message, keeping it open for reading and writing.
// Returns the first failing result (S_OK when both steps worked); the callers
// ignore a failure.
mapi::HRESULT SetOwnMessageMark(MessageRecord& record);

}  // namespace quorvel

#endif  // QUORVEL_CORE_OWN_MESSAGE_MARK_H_
