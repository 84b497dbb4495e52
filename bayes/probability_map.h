// The probability table's storage: token text -> spam probability, kept as one flat
// array sorted by token (code-unit order, the order of an ordered map of wide
// strings) with an open-addressing hash index for lookups. Token texts live in one
// shared buffer, so loading or compiling a table does not allocate per token.
//
// Filling: Append entries in any order, then Finish. When a token is appended more
// than once, the last value wins, as if each Append set the token in a map.
//
// Thread-safety: none; the probability table's lock guards it.
#ifndef QUORVEL_BAYES_PROBABILITY_MAP_H_
#define QUORVEL_BAYES_PROBABILITY_MAP_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

class ProbabilityMap {
 public:
  void Clear();
  void Reserve(std::size_t entries, std::size_t textUnits);

  void Append(std::u16string_view token, double probability);
  // Sorts (stably) when needed, keeps the last value of each token, builds the index.
  void Finish();

  // REQUIRES: Finish after the last Append.
  const double* Find(std::u16string_view token) const;
  std::size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }

  // Calls visit(token, probability) in token order. REQUIRES: Finish.
  template <class Visit>
  void ForEach(Visit&& visit) const {
    for (const Entry& e : entries_) visit(Text(e), e.probability);
  }

  void Swap(ProbabilityMap& other) noexcept;

 private:
  struct Entry {
    std::size_t offset;
    std::uint32_t length;
    double probability;
  };

  std::u16string_view Text(const Entry& e) const {
    return std::u16string_view(text_.data() + e.offset, e.length);
  }

  std::u16string text_;         // every token's text, back to back
  std::vector<Entry> entries_;  // sorted and unique after Finish
  // Hash index, a power of 2 in size: the high 32 bits hold the upper half of the
  // token's hash (so that most mismatches are rejected without touching the entry),
  // the low 32 bits the entry index + 1 (0: free).
  std::vector<std::uint64_t> slots_;
  std::size_t sortedPrefix_ = 0;  // entries_[0, sortedPrefix_) are strictly ascending
};

}  // namespace quorvel

#endif  // QUORVEL_BAYES_PROBABILITY_MAP_H_
