#include "outlook/own_moves.h"

namespace quorvel::outlook {

IdHash OwnMoves::KeyOf(std::string_view messageId, const mapi::EntryId& destination) {
  // Mixed so that one Message-ID into two folders, or two into one, never meet unless
  // their own hashes do.
  const IdHash folder = HashId(destination.bytes());
  return HashId(messageId) ^ (folder * 0x9E3779B97F4A7C15ULL + (folder >> 29));
}

void OwnMoves::Note(std::string_view messageId, const mapi::EntryId& destination) {
  if (messageId.empty()) return;
  const std::uint32_t now = clock_.TickCount();
  const IdHash key = KeyOf(messageId, destination);
  std::lock_guard<std::mutex> lock(mutex_);
  // Old notes go as new ones come, so the map stays as small as the moves of the window:
  // looked for at each note while there are few, then at every 256th, so that many
  // moves at once (a folder check's thousand) do not each look over all the notes.
  if (notes_.size() < 256 || notes_.size() % 256 == 0) {
    std::erase_if(notes_, [now](const auto& note) { return now - note.second > kOwnMoveMs; });
    if (notes_.empty()) notes_ = {};  // the buckets of a large check go too
  }
  notes_[key] = now;
}

bool OwnMoves::IsOwn(std::string_view messageId, const mapi::EntryId& destination) const {
  if (messageId.empty()) return false;
  const std::uint32_t now = clock_.TickCount();
  const IdHash key = KeyOf(messageId, destination);
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = notes_.find(key);
  return it != notes_.end() && now - it->second <= kOwnMoveMs;
}

std::size_t OwnMoves::size() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return notes_.size();
}

}  // namespace quorvel::outlook
