#include "bayes/probability_map.h"

#include <algorithm>
#include <functional>
#include <utility>

namespace quorvel {
namespace {

std::uint64_t HashOf(std::u16string_view token) {
  // FNV-1a over the code units: short tokens, no setup cost.
  std::uint64_t h = 0xcbf29ce484222325ULL;
  for (char16_t c : token) {
    h ^= c;
    h *= 0x100000001b3ULL;
  }
  return h ^ (h >> 29);
}

// The first four code units, for comparing most tokens without touching their text.
std::uint64_t PrefixKey(std::u16string_view token) {
  std::uint64_t key = 0;
  for (std::size_t i = 0; i < 4; ++i) key = key << 16 | (i < token.size() ? token[i] : 0);
  return key;
}

}  // namespace

void ProbabilityMap::Clear() {
  text_.clear();
  entries_.clear();
  slots_.clear();
  sortedPrefix_ = 0;
}

void ProbabilityMap::Reserve(std::size_t entries, std::size_t textUnits) {
  entries_.reserve(entries);
  text_.reserve(textUnits);
}

void ProbabilityMap::Append(std::u16string_view token, double probability) {
  if (sortedPrefix_ == entries_.size() && (entries_.empty() || Text(entries_.back()) < token)) {
    ++sortedPrefix_;
  }
  entries_.push_back({text_.size(), static_cast<std::uint32_t>(token.size()), probability});
  text_.append(token);
}

void ProbabilityMap::Finish() {
  if (sortedPrefix_ < entries_.size()) {
    // Sort the unsorted tail by (prefix key, text, position), which is a stable sort
    // by text, then merge it stably behind the sorted head: of equal tokens the
    // later appended one comes last.
    const std::size_t head = sortedPrefix_;
    struct Key {
      std::uint64_t prefix;
      std::uint32_t index;
    };
    std::vector<Key> keys;
    keys.reserve(entries_.size() - head);
    for (std::size_t i = head; i < entries_.size(); ++i) {
      keys.push_back({PrefixKey(Text(entries_[i])), static_cast<std::uint32_t>(i)});
    }
    std::sort(keys.begin(), keys.end(), [this](const Key& a, const Key& b) {
      if (a.prefix != b.prefix) return a.prefix < b.prefix;
      int order = Text(entries_[a.index]).compare(Text(entries_[b.index]));
      if (order != 0) return order < 0;
      return a.index < b.index;
    });
    std::vector<Entry> merged;
    merged.reserve(entries_.size());
    auto less = [this](const Entry& a, const Entry& b) { return Text(a) < Text(b); };
    std::size_t h = 0;
    for (const Key& k : keys) {
      const Entry& tail = entries_[k.index];
      while (h < head && !less(tail, entries_[h])) merged.push_back(entries_[h++]);
      merged.push_back(tail);
    }
    while (h < head) merged.push_back(entries_[h++]);
    // Of each run of equal tokens, the last stays.
    std::size_t out = 0;
    for (std::size_t i = 0; i < merged.size(); ++i) {
      if (i + 1 < merged.size() && Text(merged[i]) == Text(merged[i + 1])) continue;
      merged[out++] = merged[i];
    }
    merged.resize(out);
    entries_.swap(merged);
    sortedPrefix_ = entries_.size();
  }
  std::size_t capacity = 16;
  while (capacity < entries_.size() * 2) capacity *= 2;
  slots_.assign(capacity, 0);
  const std::size_t mask = capacity - 1;
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    std::uint64_t hash = HashOf(Text(entries_[i]));
    std::size_t slot = hash & mask;
    while (slots_[slot] != 0) slot = (slot + 1) & mask;
    slots_[slot] = (hash & 0xFFFFFFFF00000000ULL) | (i + 1);
  }
}

const double* ProbabilityMap::Find(std::u16string_view token) const {
  if (slots_.empty()) return nullptr;
  const std::size_t mask = slots_.size() - 1;
  const std::uint64_t hash = HashOf(token);
  const std::uint64_t tag = hash & 0xFFFFFFFF00000000ULL;
  std::size_t slot = hash & mask;
  while (std::uint64_t value = slots_[slot]) {
    if ((value & 0xFFFFFFFF00000000ULL) == tag) {
      const Entry& e = entries_[(value & 0xFFFFFFFF) - 1];
      if (e.length == token.size() && Text(e) == token) return &e.probability;
    }
    slot = (slot + 1) & mask;
  }
  return nullptr;
}

void ProbabilityMap::Swap(ProbabilityMap& other) noexcept {
  text_.swap(other.text_);
  entries_.swap(other.entries_);
  slots_.swap(other.slots_);
  std::swap(sortedPrefix_, other.sortedPrefix_);
}

}  // namespace quorvel
