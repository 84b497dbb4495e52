#include "outlook/own_moves.h"

namespace quorvel::outlook {

void OwnMoves::Note(const std::string& messageId, const mapi::EntryId& destination) {
  if (messageId.empty()) return;
  const std::uint32_t now = clock_.TickCount();
  std::lock_guard<std::mutex> lock(mutex_);
  // Old notes go as new ones come, so the map stays as small as the moves of the window:
  // looked for at each note while there are few, then at every 256th, so that many
  // moves at once (a folder check's thousand) do not each look over all the notes.
  if (notes_.size() < 256 || notes_.size() % 256 == 0) {
    std::erase_if(notes_, [now](const auto& note) { return now - note.second > kOwnMoveMs; });
  }
  notes_[Key(messageId, std::string(destination.bytes()))] = now;
}

bool OwnMoves::IsOwn(const std::string& messageId, const mapi::EntryId& destination) const {
  if (messageId.empty()) return false;
  const std::uint32_t now = clock_.TickCount();
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = notes_.find(Key(messageId, std::string(destination.bytes())));
  return it != notes_.end() && now - it->second <= kOwnMoveMs;
}

std::size_t OwnMoves::size() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return notes_.size();
}

}  // namespace quorvel::outlook
