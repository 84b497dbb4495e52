// The Bayesian rule (the last content rule) and the automatic learning of mail that a
// list rule found good.
//
// Thread-safety: a record belongs to the calling thread; the mail base does its own
// locking.
#ifndef QUORVEL_CORE_BAYES_RULE_H_
#define QUORVEL_CORE_BAYES_RULE_H_

#include <cstddef>
#include <string>
#include <string_view>

#include "bayes/mailbase.h"
#include "core/message_record.h"
#include "core/verdict.h"
#include "platform/message_box.h"

namespace quorvel {

// A link counts as near the top when "http://" first occurs at one of the first 480
// characters of the body text.
inline constexpr std::string_view kUrlPrefix = "http://";
inline constexpr std::size_t kUrlNearTopLastIndex = 479;

// Scores subject and body. Good (score at most 0.8) or spam, with reason 228 (score
// and the tokens used); too little to judge by: spam with reason 229. When the mail
// base cannot be loaded, message 541 is shown and the rule does not decide; when it
// was found unusable (Mailbase::unusable) the rule does not decide, silently.
RuleOutcome BayesRule(MessageRecord& record, Mailbase& mailbase,
                      platform::MessageBoxes& messageBoxes, std::string* reason);

// Learns subject and body into the good counts with the automatic weight, forced.
void LearnGoodMessage(MessageRecord& record, Mailbase& mailbase);

}  // namespace quorvel

#endif  // QUORVEL_CORE_BAYES_RULE_H_
