// Store notifications and the advise sink that receives them (modelled on
// NOTIFICATION and IMAPIAdviseSink).
#ifndef QUORVEL_MAPI_NOTIFICATION_H_
#define QUORVEL_MAPI_NOTIFICATION_H_

#include <cstdint>
#include <span>
#include <string>

#include "mapi/entry_id.h"
#include "mapi/tags.h"

namespace quorvel::mapi {

// One event. Which fields are set depends on `eventType`:
// - fnevNewMail: entryId and parentId of the new message, messageClass, messageFlags;
//   objectType is MAPI_MESSAGE. A store that would have to read the message to know its
//   class (a Maildir) leaves messageClass empty.
// - fnevObjectCreated / Deleted / Modified: entryId, objectType, parentId.
// - fnevObjectMoved / Copied: entryId and parentId (the new place), objectType, oldId
//   and oldParentId (where it was).
struct Notification {
  std::uint32_t eventType = 0;
  EntryId entryId;
  EntryId parentId;
  std::uint32_t objectType = 0;
  EntryId oldId;
  EntryId oldParentId;
  std::string messageClass;
  std::uint32_t messageFlags = 0;
};

// Receives notifications. OnNotify is called on a thread of the store, never on the
// thread that caused the event, and never while the store holds a lock, so a sink may
// call back into the store. Implementations must be thread-safe.
class AdviseSink {
 public:
  virtual ~AdviseSink() = default;
  // Returns 0; the store ignores the result.
  virtual HRESULT OnNotify(std::span<const Notification> notifications) = 0;
};

}  // namespace quorvel::mapi

#endif  // QUORVEL_MAPI_NOTIFICATION_H_
