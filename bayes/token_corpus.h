// Learned token counts: one body of learned mail (TokenCorpus) and the good/junk pair
// of them (CorpusPair).
//
// The counts are kept in a hash map for speed; where order is visible (the raw file)
// SortedEntries gives the tokens in code-unit order, the order of an ordered map of
// wide strings. Counts saturate at the limits of a 32-bit signed value instead of
// wrapping.
//
// Thread-safety: none; the mail base store's lock guards its corpora.
#ifndef QUORVEL_BAYES_TOKEN_CORPUS_H_
#define QUORVEL_BAYES_TOKEN_CORPUS_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace quorvel {

struct WideHash {
  using is_transparent = void;
  std::size_t operator()(std::u16string_view s) const {
    return std::hash<std::u16string_view>{}(s);
  }
};

struct WideEqual {
  using is_transparent = void;
  bool operator()(std::u16string_view a, std::u16string_view b) const { return a == b; }
};

using TokenCounts = std::unordered_map<std::u16string, std::int32_t, WideHash, WideEqual>;

// a + b, held within the 32-bit signed range.
std::int32_t SaturatingAdd(std::int32_t a, std::int64_t b);

class TokenCorpus {
 public:
  TokenCorpus() = default;
  TokenCorpus(const TokenCorpus&) = default;
  TokenCorpus& operator=(const TokenCorpus&) = default;
  TokenCorpus(TokenCorpus&&) = default;
  TokenCorpus& operator=(TokenCorpus&&) = default;
  virtual ~TokenCorpus() = default;

  void Clear();
  void Reserve(std::size_t tokens) { counts_.reserve(counts_.size() + tokens); }
  // Adds the other's message count and each of its token counts.
  void Merge(const TokenCorpus& other);
  void Swap(TokenCorpus& other);
  // Multiplies every count and the message count by factor, truncating toward zero.
  void Scale(double factor);

  // Adds weight to the token's count (a new token starts at 0).
  void Add(std::u16string_view token, std::int32_t weight);
  // Sets the token's count, replacing an earlier one.
  void Set(std::u16string_view token, std::int32_t count);
  // Takes up to `amount` from the token's count, removing the token when nothing is
  // left; returns what was taken (0 for an absent token).
  std::int32_t Take(std::u16string_view token, std::int32_t amount);
  // The token's count, or nullptr when the corpus lacks it.
  const std::int32_t* Find(std::u16string_view token) const;
  // The token's count, 0 when absent.
  std::int32_t Count(std::u16string_view token) const;

  const TokenCounts& counts() const { return counts_; }
  std::size_t size() const { return counts_.size(); }
  // Tokens and counts in code-unit order of the tokens.
  std::vector<std::pair<std::u16string_view, std::int32_t>> SortedEntries() const;

  std::int32_t messageCount() const { return messageCount_; }
  void set_messageCount(std::int32_t count) { messageCount_ = count; }
  void AddMessages(std::int32_t count) { messageCount_ = SaturatingAdd(messageCount_, count); }

  // Learns one message: every used token of text (see ForEachUsedToken) adds weight,
  // each occurrence again; then the message count grows by 1.
  void LearnText(std::u16string_view text, std::int32_t weight);

 private:
  TokenCounts counts_;
  std::int32_t messageCount_ = 0;
};

// Index 0 is the good corpus, index 1 the junk corpus.
class CorpusPair {
 public:
  static constexpr int kGood = 0;
  static constexpr int kJunk = 1;

  TokenCorpus& Half(int index) { return halves_[index]; }
  const TokenCorpus& Half(int index) const { return halves_[index]; }
  TokenCorpus& good() { return halves_[kGood]; }
  TokenCorpus& junk() { return halves_[kJunk]; }
  const TokenCorpus& good() const { return halves_[kGood]; }
  const TokenCorpus& junk() const { return halves_[kJunk]; }

  void Merge(const CorpusPair& other);
  void Clear();
  std::int64_t TotalMessages() const;

 private:
  TokenCorpus halves_[2];
};

}  // namespace quorvel

#endif  // QUORVEL_BAYES_TOKEN_CORPUS_H_
