#include "bayes/decisive_tokens.h"

#include <algorithm>
#include <cmath>

namespace quorvel {
namespace {

// The order of a stable sort by probability: by probability, then by the order in
// which the tokens came. A NaN (only a damaged table holds one) sorts after every
// number, so that the order stays a strict one.
bool Before(const DecisiveTokens::Token& a, const DecisiveTokens::Token& b) {
  const bool aNan = std::isnan(a.probability);
  const bool bNan = std::isnan(b.probability);
  if (aNan != bNan) return bNan;
  if (!aNan) {
    if (a.probability < b.probability) return true;
    if (b.probability < a.probability) return false;
  }
  return a.sequence < b.sequence;
}

bool After(const DecisiveTokens::Token& a, const DecisiveTokens::Token& b) { return Before(b, a); }

}  // namespace

DecisiveTokens::DecisiveTokens(std::size_t lowCount, std::size_t highCount)
    : lowCount_(lowCount), highCount_(highCount) {
  low_.reserve(lowCount);
  high_.reserve(highCount);
}

void DecisiveTokens::Add(std::u16string_view text, double probability) {
  const Token token{text, probability, count_++};
  if (lowCount_ > 0) {
    if (low_.size() < lowCount_) {
      low_.push_back(token);
      std::push_heap(low_.begin(), low_.end(), Before);
    } else if (Before(token, low_.front())) {
      std::pop_heap(low_.begin(), low_.end(), Before);
      low_.back() = token;
      std::push_heap(low_.begin(), low_.end(), Before);
    }
  }
  if (highCount_ > 0) {
    if (high_.size() < highCount_) {
      high_.push_back(token);
      std::push_heap(high_.begin(), high_.end(), After);
    } else if (Before(high_.front(), token)) {
      std::pop_heap(high_.begin(), high_.end(), After);
      high_.back() = token;
      std::push_heap(high_.begin(), high_.end(), After);
    }
  }
}

std::vector<DecisiveTokens::Token> DecisiveTokens::Lowest() const {
  std::vector<Token> sorted = low_;
  std::sort(sorted.begin(), sorted.end(), Before);
  return sorted;
}

std::vector<DecisiveTokens::Token> DecisiveTokens::Highest() const {
  std::vector<Token> sorted = high_;
  std::sort(sorted.begin(), sorted.end(), After);
  return sorted;
}

}  // namespace quorvel
