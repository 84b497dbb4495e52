// The most decisive tokens of a message: of the probabilities looked up, in the order
// a stable sort by probability would give them, the lowest and the highest few.
// Scoring combines only those, so a message with tens of thousands of known tokens
// needs room for about a thousand, not for all of them.
//
// Not thread-safe; one per scoring. Lowest and Highest sort what is held.
#ifndef QUORVEL_BAYES_DECISIVE_TOKENS_H_
#define QUORVEL_BAYES_DECISIVE_TOKENS_H_

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace quorvel {

class DecisiveTokens {
 public:
  struct Token {
    std::u16string_view text;
    double probability = 0;
    std::uint64_t sequence = 0;  // position among everything added
  };

  // Keeps the `lowCount` lowest and the `highCount` highest.
  DecisiveTokens(std::size_t lowCount, std::size_t highCount);

  void Add(std::u16string_view text, double probability);

  // How many were added in all.
  std::uint64_t count() const { return count_; }

  // known[0], known[1], ... of the sorted sequence: the lowest first. At most
  // lowCount entries, fewer when fewer were added.
  std::vector<Token> Lowest();
  // known[n-1], known[n-2], ... of the sorted sequence: the highest first.
  std::vector<Token> Highest();

 private:
  // Sorts what is held and drops the middle, which neither end can need any more.
  void Compact();
  template <typename Order>
  void Compact(Order before);

  std::size_t lowCount_;
  std::size_t highCount_;
  std::uint64_t count_ = 0;
  bool sorted_ = true;   // held_ is sorted and compacted
  bool hasNan_ = false;  // a NaN was added (a damaged table)
  // Everything added since the last compaction, behind the ends kept by it. Held
  // to a bound, so the room needed does not grow with the message.
  std::vector<Token> held_;
};

}  // namespace quorvel

#endif  // QUORVEL_BAYES_DECISIVE_TOKENS_H_
