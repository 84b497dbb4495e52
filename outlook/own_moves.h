// OwnMoves: the moves the host makes itself (spam into the spam folder, a marking's
// move, an undo putting messages back), so that the watchers of the user's moves
// (move_detector.h) never take one of them for the user's.
//
// The host notes each message (by Message-ID) and its destination folder before it
// moves it; a move seen within kOwnMoveMs of that note, of that Message-ID into that
// folder, is the host's. A note is not used up by one sighting: one move can be seen
// twice (as a moved notification and as an arrival), and the user moving the message
// on into another folder is still theirs.
//
// Thread-safety: every member may be called from any thread; mutex_ guards the notes.
#ifndef QUORVEL_OUTLOOK_OWN_MOVES_H_
#define QUORVEL_OUTLOOK_OWN_MOVES_H_

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <utility>

#include "mapi/entry_id.h"
#include "platform/clock.h"

namespace quorvel::outlook {

// How long a noted move stays the host's, in ms of tick count.
inline constexpr std::uint32_t kOwnMoveMs = 120000;

class OwnMoves {
 public:
  // `clock` must outlive this object.
  explicit OwnMoves(const platform::Clock& clock) : clock_(clock) {}
  OwnMoves(const OwnMoves&) = delete;
  OwnMoves& operator=(const OwnMoves&) = delete;

  // The host is about to move the message with `messageId` into `destination`. A
  // message without a Message-ID ("") cannot be told apart and is not noted.
  void Note(const std::string& messageId, const mapi::EntryId& destination);
  // Whether a move of `messageId` into `destination` was noted within kOwnMoveMs.
  bool IsOwn(const std::string& messageId, const mapi::EntryId& destination) const;
  std::size_t size() const;

 private:
  using Key = std::pair<std::string, std::string>;  // Message-ID, destination bytes
  const platform::Clock& clock_;
  mutable std::mutex mutex_;
  std::map<Key, std::uint32_t> notes_;  // tick of the note; guarded by mutex_
};

}  // namespace quorvel::outlook

#endif  // QUORVEL_OUTLOOK_OWN_MOVES_H_
