// What the classifier decides and how the caller chooses which rules take part.
//
// RuleOutcome is what each rule of the chain gives back; the first rule that
// decides (good or spam) ends the chain. ClassifyFlags is the caller's word of rule
// groups; the same word goes on to the step that moves spam, which reads the bits
// the classifier ignores (0x20 mark as read, 0x10 mark as unread).
#ifndef QUORVEL_CORE_VERDICT_H_
#define QUORVEL_CORE_VERDICT_H_

#include <cstdint>
#include <string>

namespace quorvel {

enum class RuleOutcome : int {
  kNoDecision = 0,  // go on with the next rule
  kGood = 1,        // end: not spam
  kSpam = 2,        // end: spam
};

// The caller's selection of rule groups (a plain 32-bit word, as callers pass it).
using ClassifyFlags = std::uint32_t;

// Custom dictionaries, predefined rules and the Bayesian rule.
inline constexpr ClassifyFlags kCheckContent = 0x01;
// The draft test.
inline constexpr ClassifyFlags kCheckDraft = 0x02;
// The Safe Recipients List and the own-account test.
inline constexpr ClassifyFlags kCheckRecipients = 0x04;
// Feed messages that a list rule found good to the Bayesian learner.
inline constexpr ClassifyFlags kLearnGood = 0x08;
// Any of these bits enables the White List and Black List rules (0x10, or any bit
// from 0x40 up). Bit 0x20 is not read by the classifier.
inline constexpr ClassifyFlags kListRuleBits = 0xFFFFFFD0;

// What the worker passes for new mail, with and without automatic learning, and
// what the test-message command and the folder check pass.
inline constexpr ClassifyFlags kWorkerFlagsLearning = 0xFFFFFFCF;
inline constexpr ClassifyFlags kStandardFlags = 0xFFFFFFC7;

// The outcome of one classification: spam or not, and why.
struct Verdict {
  bool spam = false;
  std::string reason;  // the reason text of the rule that decided (or 232)
};

}  // namespace quorvel

#endif  // QUORVEL_CORE_VERDICT_H_
