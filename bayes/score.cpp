// Scoring one message against the probability table.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <deque>
#include <vector>

#include "bayes/decisive_tokens.h"
#include "bayes/probability_table.h"
#include "bayes/token_stream.h"
#include "platform/code_page.h"

namespace quorvel {
namespace {

constexpr std::size_t kMinimumTokens = 7;
constexpr std::size_t kMaximumTaken = 100;
constexpr double kSpamThreshold = 0.8;
constexpr std::size_t kBeginningRows = 8;
constexpr std::size_t kRowWidth = 120;

bool OnlyBlanks(std::u16string_view body) {
  return std::all_of(body.begin(), body.end(), [](char16_t c) {
    return c == u' ' || c == u'\r' || c == u'\n' || c == u'\t';
  });
}

// Adds the table's entry of every token (links as the link marker).
void LookUp(const std::deque<TokenView>& tokens, const ProbabilityMap& table,
            DecisiveTokens* known) {
  for (const TokenView& t : tokens) {
    std::u16string_view key = t.kind == TokenKind::Url ? kUrlMarker : t.text;
    if (const double* p = table.Find(key)) known->Add(key, *p);
  }
}

}  // namespace

std::u16string BodyBeginning(std::u16string_view body) {
  std::u16string result;
  std::size_t rows = 0;
  std::size_t start = 0;
  while (start < body.size() && rows < kBeginningRows) {
    std::size_t end = body.find(u'\n', start);
    if (end == std::u16string_view::npos) end = body.size();
    std::u16string_view line = body.substr(start, end - start);
    start = end + 1;
    std::size_t room = (kBeginningRows - rows) * kRowWidth;
    rows += line.size() / kRowWidth + 1;
    result.append(line.substr(0, std::min(line.size(), room)));
  }
  return result;
}

int ProbabilityTable::Score(bool urlNearTop, std::u16string_view subject, std::u16string_view body,
                            std::string* explanation, double* score) const {
  // Tokenizing happens before the lock; the views point into the streams. They are
  // kept in a deque: a long body has tens of thousands, and a vector growing to hold
  // them would copy them all at each doubling.
  TokenStream subjectStream(subject);
  std::deque<TokenView> subjectTokens;
  if (!subject.empty()) {
    ForEachUsedToken(subjectStream, [&](const TokenView& t) { subjectTokens.push_back(t); });
  }
  std::u16string beginning;
  std::u16string_view bodyText;
  if (!OnlyBlanks(body)) {
    if (urlNearTop) {
      beginning = BodyBeginning(body);
      bodyText = beginning;
    } else {
      bodyText = body;
    }
  }
  TokenStream bodyStream(bodyText);
  std::deque<TokenView> bodyTokens;
  ForEachUsedToken(bodyStream, [&](const TokenView& t) { bodyTokens.push_back(t); });

  auto lock = Lock();
  const ProbabilityMap& table = contents_.probabilities;
  // Of the known tokens sorted (stably) by probability, only the lowest and highest
  // are combined and listed.
  DecisiveTokens known((kMaximumTaken + 1) / 2, kMaximumTaken / 2);
  LookUp(bodyTokens, table, &known);
  if (bodyTokens.size() < kMinimumTokens) return kScoreTooFewTokens;
  if (known.count() < kMinimumTokens) return kScoreTooFewKnown;
  LookUp(subjectTokens, table, &known);
  const std::vector<DecisiveTokens::Token> lowest = known.Lowest();  // known[0], known[1], ...
  const std::vector<DecisiveTokens::Token> highest =
      known.Highest();  // known[n-1], known[n-2], ...

  // Alternately from the low and the high end, the low end first.
  const std::size_t taken =
      static_cast<std::size_t>(std::min<std::uint64_t>(known.count(), kMaximumTaken));
  const std::size_t fromLow = (taken + 1) / 2;
  const std::size_t fromHigh = taken / 2;
  double product = 1.0;
  for (std::size_t i = 0; i < taken; ++i) {
    const DecisiveTokens::Token& k = (i % 2 == 0) ? lowest[i / 2] : highest[i / 2];
    product *= 1.0 / k.probability - 1.0;
  }
  const double result = 1.0 / (product + 1.0);

  std::string lines;
  char number[64];
  auto listLine = [&](const DecisiveTokens::Token& k) {
    if (k.text == kUrlMarker) return;
    lines += platform::WideToAnsi(k.text);
    lines += '\t';
    // "%.7f" without printf's cost: to_chars gives the same digits for finite values.
    const auto [end, error] = std::isfinite(k.probability)
                                  ? std::to_chars(number, number + sizeof number, k.probability,
                                                  std::chars_format::fixed, 7)
                                  : std::to_chars_result{number, std::errc::value_too_large};
    if (error == std::errc()) {
      lines.append(number, end);
    } else {
      std::snprintf(number, sizeof number, "%.7f", k.probability);
      lines += number;
    }
    lines += "\r\n";
  };
  if (explanation != nullptr) {
    // From the highest probability down: the high end, then the low end.
    for (std::size_t i = 0; i < fromHigh; ++i) listLine(highest[i]);
    for (std::size_t i = fromLow; i-- > 0;) listLine(lowest[i]);
    *explanation = std::move(lines);
  }
  if (score != nullptr) *score = result;
  return result > kSpamThreshold ? kScoreSpam : kScoreGood;
}

}  // namespace quorvel
