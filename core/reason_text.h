// The reason texts of the classifier: their string-table numbers and the one place
// that fills their placeholders.
//
// Every text comes from the module's string table (platform/string_table.h); a
// text's "%s" takes a matched address, pattern, word or report, and the Bayesian
// reason's "%.2f" takes the score. The filled-in values are copied as they are, so
// a "%" inside an address or a word is never read as a placeholder.
#ifndef QUORVEL_CORE_REASON_TEXT_H_
#define QUORVEL_CORE_REASON_TEXT_H_

#include <string>
#include <string_view>

namespace quorvel {

enum ReasonId : unsigned {
  kReasonSafeRecipient = 211,  // %s: display text or pattern
  kReasonBlankSender = 212,
  kReasonWhiteDomain = 216,    // %s: domain key
  kReasonWhiteAddress = 217,   // %s: display text
  kReasonWhiteWildcard = 218,  // %s: pattern
  kReasonBlackDomain = 220,    // %s: domain key
  kReasonBlackAddress = 221,   // %s: display text
  kReasonBlackWildcard = 222,  // %s: pattern
  kReasonNotSpamWord = 223,    // %s: word, lower case
  kReasonSpamWord = 224,       // %s: word, lower case
  kReasonEmptyWithHtml = 225,
  kReasonEmpty = 227,
  kReasonBayesScore = 228,  // %.2f: score, %s: report
  kReasonBayesTooLittle = 229,
  kReasonNotEmailItem = 230,
  kReasonDraft = 231,
  kReasonNoDecision = 232,
  kReasonOwnAccount = 233,  // %s: sender display form with name
  kReasonAvReport = 234,
  kReasonSuspiciousReport = 235,
  kReasonDeliveryReport = 236,
  kReasonInternetImage = 237,
  kReasonLinkedImage = 238,
  kReasonSuspiciousImage = 239,
  kReasonBrokenHtml = 240,
  kReasonExecutable = 241,
  kReasonRdnsFailed = 244,
  kReasonOwnDisplayName = 245,
};

// Message box text: the mail base cannot be loaded.
inline constexpr unsigned kMessageMailbaseMissing = 541;

// The text under `id` with its "%s" replaced by `value` (the first "%s" only) and
// its "%.2f" by `number` printed with two decimals. "%%" stands for "%". A text
// without placeholders comes back unchanged. An unknown id gives "".
std::string FormatReason(unsigned id, std::string_view value = {}, double number = 0.0);

// The first line of a reason (up to its first CR or LF), as the one-line outputs show it.
std::string_view ReasonFirstLine(std::string_view reason);

// The score as reason 228 shows it ("0.97") when `reason` is that text, the Bayesian
// rule having decided by the score; else "".
std::string_view BayesScoreInReason(std::string_view reason);

}  // namespace quorvel

#endif  // QUORVEL_CORE_REASON_TEXT_H_
