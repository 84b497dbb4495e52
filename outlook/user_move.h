// What the user did by moving mail: messages taken out of the spam folder (good) or
// put into it (junk). Whatever learns from that (the quiet marking) implements
// UserMoveSink; the move detector (move_detector.h) calls it.
#ifndef QUORVEL_OUTLOOK_USER_MOVE_H_
#define QUORVEL_OUTLOOK_USER_MOVE_H_

#include <vector>

#include "mapi/entry_id.h"

namespace quorvel::outlook {

struct UserMove {
  mapi::EntryId folder;                 // where the messages are now
  std::vector<mapi::EntryId> messages;  // their entry ids in that folder
  bool junk = false;                    // true: moved into the spam folder
};

// Thread-safety: OnUserMove is called on the threads that see moves (the stores'
// notification threads, the worker's, the spam folder scan's); implementations
// guard themselves and must not call back into the detector.
class UserMoveSink {
 public:
  virtual ~UserMoveSink() = default;
  virtual void OnUserMove(const UserMove& move) = 0;
};

}  // namespace quorvel::outlook

#endif  // QUORVEL_OUTLOOK_USER_MOVE_H_
