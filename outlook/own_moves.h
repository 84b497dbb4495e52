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
// A note is kept as one 64-bit hash of the Message-ID and the folder (id_hash.h), about
// 40 bytes with the map's own, so that a folder check moving 60,000 spam within the
// window holds a few MB. A move whose hash is shared by a noted one (about one chance in
// 10^14 with 60,000 notes) is taken for the host's: the user's move teaches nothing,
// which is the safe way to be wrong.
//
// Thread-safety: every member may be called from any thread; mutex_ guards the notes.
#ifndef QUORVEL_OUTLOOK_OWN_MOVES_H_
#define QUORVEL_OUTLOOK_OWN_MOVES_H_

#include <cstdint>
#include <mutex>
#include <string_view>
#include <unordered_map>

#include "mapi/entry_id.h"
#include "outlook/id_hash.h"
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
  void Note(std::string_view messageId, const mapi::EntryId& destination);
  // Whether a move of `messageId` into `destination` was noted within kOwnMoveMs.
  bool IsOwn(std::string_view messageId, const mapi::EntryId& destination) const;
  std::size_t size() const;

 private:
  static IdHash KeyOf(std::string_view messageId, const mapi::EntryId& destination);

  const platform::Clock& clock_;
  mutable std::mutex mutex_;
  // Hash of Message-ID and destination -> tick of the note; guarded by mutex_.
  std::unordered_map<IdHash, std::uint32_t> notes_;
};

}  // namespace quorvel::outlook

#endif  // QUORVEL_OUTLOOK_OWN_MOVES_H_
