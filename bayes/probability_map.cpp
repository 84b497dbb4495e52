#include "bayes/probability_map.h"

#include <algorithm>
#include <functional>
#include <utility>

namespace quorvel {
namespace {

std::size_t HashOf(std::u16string_view token) {
  // FNV-1a over the code units: short tokens, no setup cost.
  std::uint64_t h = 0xcbf29ce484222325ULL;
  for (char16_t c : token) {
    h ^= c;
    h *= 0x100000001b3ULL;
  }
  return static_cast<std::size_t>(h ^ (h >> 29));
}

}  // namespace

void ProbabilityMap::Clear() {
  text_.clear();
  entries_.clear();
  slots_.clear();
  sorted_ = true;
}

void ProbabilityMap::Reserve(std::size_t entries, std::size_t textUnits) {
  entries_.reserve(entries);
  text_.reserve(textUnits);
}

void ProbabilityMap::Append(std::u16string_view token, double probability) {
  if (sorted_ && !entries_.empty() && !(Text(entries_.back()) < token)) sorted_ = false;
  entries_.push_back({text_.size(), static_cast<std::uint32_t>(token.size()), probability});
  text_.append(token);
}

void ProbabilityMap::Finish() {
  if (!sorted_) {
    std::stable_sort(entries_.begin(), entries_.end(),
                     [this](const Entry& a, const Entry& b) { return Text(a) < Text(b); });
    // Of each run of equal tokens, the last appended stays.
    std::size_t out = 0;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
      if (i + 1 < entries_.size() && Text(entries_[i]) == Text(entries_[i + 1])) continue;
      entries_[out++] = entries_[i];
    }
    entries_.resize(out);
    sorted_ = true;
  }
  std::size_t capacity = 16;
  while (capacity < entries_.size() * 2) capacity *= 2;
  slots_.assign(capacity, 0);
  const std::size_t mask = capacity - 1;
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    std::size_t slot = HashOf(Text(entries_[i])) & mask;
    while (slots_[slot] != 0) slot = (slot + 1) & mask;
    slots_[slot] = static_cast<std::uint32_t>(i + 1);
  }
}

const double* ProbabilityMap::Find(std::u16string_view token) const {
  if (slots_.empty()) return nullptr;
  const std::size_t mask = slots_.size() - 1;
  std::size_t slot = HashOf(token) & mask;
  while (std::uint32_t index = slots_[slot]) {
    const Entry& e = entries_[index - 1];
    if (e.length == token.size() && Text(e) == token) return &e.probability;
    slot = (slot + 1) & mask;
  }
  return nullptr;
}

void ProbabilityMap::Swap(ProbabilityMap& other) noexcept {
  text_.swap(other.text_);
  entries_.swap(other.entries_);
  slots_.swap(other.slots_);
  std::swap(sorted_, other.sorted_);
}

}  // namespace quorvel
