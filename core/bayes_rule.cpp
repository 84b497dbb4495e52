#include "core/bayes_rule.h"

#include "core/predefined_rules.h"
#include "core/reason_text.h"
#include "mapi/tags.h"
#include "platform/code_page.h"
#include "platform/string_table.h"

namespace quorvel {

RuleOutcome BayesRule(MessageRecord& record, Mailbase& mailbase,
                      platform::MessageBoxes& messageBoxes, std::string* reason) {
  // Found unusable and already reported by whoever prepared it for judging.
  if (mailbase.unusable()) return RuleOutcome::kNoDecision;
  ProbabilityTable& table = mailbase.table();
  if (!table.EnsureLoaded()) {
    messageBoxes.Show(std::string(platform::LoadString(kMessageMailbaseMissing)),
                      std::string(platform::kProductName), platform::MB_OK);
    return RuleOutcome::kNoDecision;
  }

  const std::string& subject = record.GetString(mapi::PR_SUBJECT);
  const std::string& body = record.GetString(mapi::PR_BODY);
  const bool urlNearTop = FirstOccursWithin(body, kUrlPrefix, kUrlNearTopLastIndex);

  std::string explanation;
  double score = 0.0;
  const int code = table.Score(urlNearTop, platform::AnsiToWide(subject),
                               platform::AnsiToWide(body), &explanation, &score);
  switch (code) {
    case kScoreGood:
    case kScoreSpam:
      if (reason != nullptr) *reason = FormatReason(kReasonBayesScore, explanation, score);
      return code == kScoreSpam ? RuleOutcome::kSpam : RuleOutcome::kGood;
    case kScoreTooFewTokens:
    case 3:  // not given by the scorer, but inside the range it reports as too little
    case kScoreTooFewKnown:
      if (reason != nullptr) *reason = FormatReason(kReasonBayesTooLittle);
      return RuleOutcome::kSpam;
    default:
      return RuleOutcome::kNoDecision;
  }
}

void LearnGoodMessage(MessageRecord& record, Mailbase& mailbase) {
  const std::string& body = record.GetString(mapi::PR_BODY);
  const std::string& subject = record.GetString(mapi::PR_SUBJECT);
  mailbase.store().Learn(platform::AnsiToWide(body), platform::AnsiToWide(subject),
                         /*junk=*/false, kAutomaticWeight, /*force=*/true);
}

}  // namespace quorvel
