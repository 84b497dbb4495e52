// The classifier: one entry, Classify, that judges one mail item by the ordered rule
// chain and says why.
//
// The chain, in order (the first rule that decides ends it): delivery report (235
// spam / 236 good); not an e-mail item (230); draft (231, CheckDraft); the list rules
// (anti-virus report 234 always; Safe Recipients 211 and own account 233 with
// CheckRecipients; White List 216-218 with a list bit; Not-Spam Dictionary 223 with
// CheckContent; Black List 220-222 with a list bit; Spam Dictionary 224 with
// CheckContent), after which mail found good is learned when LearnGood is set; the
// content rules with CheckContent (the predefined rules, then the Bayesian rule 228 /
// 229); else 232, not spam.
//
// A Classifier carries the time at which it was created: matched Safe Recipients,
// White List, Black List and sent-subject entries get that time as lastUsed.
//
// Thread-safety: a Classifier keeps no state between calls and may be used from
// several threads at once, each with its own message. The settings are read under
// their lock, taken for the look-ups of one rule at a time; the mail base does its
// own locking.
#ifndef QUORVEL_CORE_CLASSIFIER_H_
#define QUORVEL_CORE_CLASSIFIER_H_

#include <memory>
#include <string>

#include "core/classify_context.h"
#include "core/message_record.h"
#include "core/verdict.h"
#include "mapi/message.h"
#include "platform/clock.h"

namespace quorvel {

class Classifier {
 public:
  // Takes the classification time from the context's clock. The context's objects
  // must outlive the classifier.
  explicit Classifier(const ClassifyContext& context);

  // Judges `message` (null: every read fails, as for an empty message) with the
  // rule groups of `flags`. Returns true for spam. The reason is written only when
  // `reason` is not null. The only change made to the message is the own-message
  // mark.
  bool Classify(std::shared_ptr<mapi::Message> message, std::string* reason,
                ClassifyFlags flags) const;

  // The same, giving the verdict with its reason.
  Verdict Judge(std::shared_ptr<mapi::Message> message, ClassifyFlags flags) const;

  // The chain over a record the caller already holds.
  bool ClassifyRecord(MessageRecord& record, std::string* reason, ClassifyFlags flags) const;

  platform::FileTime time() const { return time_; }

 private:
  RuleOutcome ListRules(MessageRecord& record, std::string* reason, ClassifyFlags flags) const;
  RuleOutcome ContentRules(MessageRecord& record, std::string* reason) const;

  ClassifyContext context_;
  platform::FileTime time_;
};

// "IPM.Note" exactly, or "IPM.Note." followed by anything (case-sensitive).
bool IsEmailItemClass(std::string_view messageClass);

}  // namespace quorvel

#endif  // QUORVEL_CORE_CLASSIFIER_H_
