#include "bayes/token_corpus.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "bayes/token_stream.h"

namespace quorvel {
namespace {

std::int32_t ScaleCount(std::int32_t count, double factor) {
  double scaled = std::trunc(static_cast<double>(count) * factor);
  if (std::isnan(scaled)) return 0;
  if (scaled >= static_cast<double>(std::numeric_limits<std::int32_t>::max())) {
    return std::numeric_limits<std::int32_t>::max();
  }
  if (scaled <= static_cast<double>(std::numeric_limits<std::int32_t>::min())) {
    return std::numeric_limits<std::int32_t>::min();
  }
  return static_cast<std::int32_t>(scaled);
}

}  // namespace

std::int32_t SaturatingAdd(std::int32_t a, std::int64_t b) {
  std::int64_t sum = std::int64_t{a} + b;  // b is at most 32 bits wide in practice
  sum = std::clamp<std::int64_t>(sum, std::numeric_limits<std::int32_t>::min(),
                                 std::numeric_limits<std::int32_t>::max());
  return static_cast<std::int32_t>(sum);
}

void TokenCorpus::Clear() {
  counts_.clear();
  messageCount_ = 0;
}

void TokenCorpus::Merge(const TokenCorpus& other) {
  if (&other == this) {
    for (auto& [token, count] : counts_) count = SaturatingAdd(count, count);
    messageCount_ = SaturatingAdd(messageCount_, messageCount_);
    return;
  }
  messageCount_ = SaturatingAdd(messageCount_, other.messageCount_);
  for (const auto& [token, count] : other.counts_) Add(token, count);
}

void TokenCorpus::Swap(TokenCorpus& other) {
  counts_.swap(other.counts_);
  std::swap(messageCount_, other.messageCount_);
}

void TokenCorpus::Scale(double factor) {
  for (auto& [token, count] : counts_) count = ScaleCount(count, factor);
  messageCount_ = ScaleCount(messageCount_, factor);
}

void TokenCorpus::Add(std::u16string_view token, std::int32_t weight) {
  auto it = counts_.find(token);
  if (it != counts_.end()) {
    it->second = SaturatingAdd(it->second, weight);
  } else {
    counts_.emplace(std::u16string(token), weight);
  }
}

std::int32_t TokenCorpus::Take(std::u16string_view token, std::int32_t amount) {
  auto it = counts_.find(token);
  if (it == counts_.end() || amount <= 0) return 0;
  const std::int32_t taken = std::min(amount, std::max(it->second, 0));
  it->second -= taken;
  if (it->second <= 0) counts_.erase(it);
  return taken;
}

void TokenCorpus::Set(std::u16string_view token, std::int32_t count) {
  auto it = counts_.find(token);
  if (it != counts_.end()) {
    it->second = count;
  } else {
    counts_.emplace(std::u16string(token), count);
  }
}

const std::int32_t* TokenCorpus::Find(std::u16string_view token) const {
  auto it = counts_.find(token);
  return it == counts_.end() ? nullptr : &it->second;
}

std::int32_t TokenCorpus::Count(std::u16string_view token) const {
  const std::int32_t* count = Find(token);
  return count == nullptr ? 0 : *count;
}

std::vector<std::pair<std::u16string_view, std::int32_t>> TokenCorpus::SortedEntries() const {
  std::vector<std::pair<std::u16string_view, std::int32_t>> entries;
  entries.reserve(counts_.size());
  for (const auto& [token, count] : counts_) entries.emplace_back(token, count);
  std::sort(entries.begin(), entries.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  return entries;
}

void TokenCorpus::LearnText(std::u16string_view text, std::int32_t weight) {
  TokenStream stream(text);
  ForEachUsedToken(stream, [&](const TokenView& token) { Add(token.text, weight); });
  AddMessages(1);
}

void CorpusPair::Merge(const CorpusPair& other) {
  halves_[kGood].Merge(other.halves_[kGood]);
  halves_[kJunk].Merge(other.halves_[kJunk]);
}

void CorpusPair::Clear() {
  halves_[kGood].Clear();
  halves_[kJunk].Clear();
}

std::int64_t CorpusPair::TotalMessages() const {
  return std::int64_t{halves_[kGood].messageCount()} + halves_[kJunk].messageCount();
}

}  // namespace quorvel
