// IdHash: a 64-bit hash that stands for a Message-ID or for an entry id's bytes in
// the records the host keeps of many messages at once (own_moves.h, move_detector.h):
// eight bytes a message where the strings take a hundred or more.
//
// Two different ids share a hash with a chance of one in 2^64; among the 100,000 ids
// such a record may hold, some pair shares one with a chance of about 3 in 10^10
// (n^2 / 2^65). What a shared hash would mistake is said beside each record; none of
// them moves or deletes a message.
//
// The hash is of this process only (not kept in any file). 0 is never a hash.
#ifndef QUORVEL_OUTLOOK_ID_HASH_H_
#define QUORVEL_OUTLOOK_ID_HASH_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

namespace quorvel::outlook {

using IdHash = std::uint64_t;

inline IdHash HashId(std::string_view bytes) {
  static_assert(sizeof(std::size_t) == sizeof(IdHash), "the hash must be of 64 bits");
  const IdHash h = std::hash<std::string_view>()(bytes);
  return h == 0 ? 1 : h;
}

}  // namespace quorvel::outlook

#endif  // QUORVEL_OUTLOOK_ID_HASH_H_
