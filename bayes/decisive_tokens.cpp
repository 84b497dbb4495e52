#include "bayes/decisive_tokens.h"

#include <algorithm>
#include <cmath>

namespace quorvel {
namespace {

// The order of a stable sort by probability: by probability, then by the order in
// which the tokens came.
inline bool Before(const DecisiveTokens::Token& a, const DecisiveTokens::Token& b) {
  return a.probability < b.probability ||
         (a.probability == b.probability && a.sequence < b.sequence);
}

// The same where a NaN (only a damaged table holds one) may occur: it sorts after
// every number, so that the order stays a strict one.
bool BeforeWithNan(const DecisiveTokens::Token& a, const DecisiveTokens::Token& b) {
  const bool aNan = std::isnan(a.probability);
  const bool bNan = std::isnan(b.probability);
  if (aNan != bNan) return bNan;
  if (aNan) return a.sequence < b.sequence;
  return Before(a, b);
}

// Tokens held before the middle is dropped; small enough to stay in the caches.
constexpr std::size_t kCompactAt = 1024;

}  // namespace

DecisiveTokens::DecisiveTokens(std::size_t lowCount, std::size_t highCount)
    : lowCount_(lowCount), highCount_(highCount) {}

void DecisiveTokens::Add(std::u16string_view text, double probability) {
  held_.push_back({text, probability, count_++});
  sorted_ = false;
  hasNan_ = hasNan_ || std::isnan(probability);
  if (held_.size() >= kCompactAt && held_.size() > lowCount_ + highCount_) Compact();
}

void DecisiveTokens::Compact() {
  if (sorted_) return;
  sorted_ = true;
  if (hasNan_) {
    Compact(BeforeWithNan);
  } else {
    Compact(Before);
  }
}

template <typename Order>
void DecisiveTokens::Compact(Order before) {
  // The order is strict and total (arrivals differ), so any sort gives the stable one.
  const auto first = held_.begin();
  const auto last = held_.end();
  if (held_.size() <= lowCount_ + highCount_) {
    std::sort(first, last, before);
    return;
  }
  // Only the two ends are kept: they are picked out in linear time, and only they are
  // sorted.
  const auto lowEnd = first + static_cast<std::ptrdiff_t>(lowCount_);
  const auto highBegin = last - static_cast<std::ptrdiff_t>(highCount_);
  std::nth_element(first, lowEnd, last, before);
  std::nth_element(lowEnd, highBegin, last, before);
  std::sort(first, lowEnd, before);
  std::sort(highBegin, last, before);
  held_.erase(lowEnd, highBegin);
}

std::vector<DecisiveTokens::Token> DecisiveTokens::Lowest() {
  Compact();
  const std::size_t n = std::min(lowCount_, held_.size());
  return std::vector<Token>(held_.begin(), held_.begin() + static_cast<std::ptrdiff_t>(n));
}

std::vector<DecisiveTokens::Token> DecisiveTokens::Highest() {
  Compact();
  const std::size_t n = std::min(highCount_, held_.size());
  return std::vector<Token>(held_.rbegin(), held_.rbegin() + static_cast<std::ptrdiff_t>(n));
}

}  // namespace quorvel
