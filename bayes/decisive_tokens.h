// The most decisive tokens of a message: of the probabilities looked up, in the order
// a stable sort by probability would give them, the lowest and the highest few.
// Scoring combines only those, so a message with thousands of known tokens needs
// room for a hundred, not for all of them.
//
// Not thread-safe; one per scoring.
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
  std::vector<Token> Lowest() const;
  // known[n-1], known[n-2], ... of the sorted sequence: the highest first.
  std::vector<Token> Highest() const;

 private:
  std::size_t lowCount_;
  std::size_t highCount_;
  std::uint64_t count_ = 0;
  std::vector<Token> low_;   // a heap whose top is the highest kept
  std::vector<Token> high_;  // a heap whose top is the lowest kept
};

}  // namespace quorvel

#endif  // QUORVEL_BAYES_DECISIVE_TOKENS_H_
