#include "core/classifier.h"

#include <utility>

#include "core/bayes_rule.h"
#include "core/list_rules.h"
#include "core/predefined_rules.h"
#include "core/reason_text.h"
#include "core/report_detection.h"
#include "mapi/tags.h"

namespace quorvel {
namespace {

constexpr std::string_view kEmailItemClass = "IPM.Note";

void WriteReason(std::string* reason, unsigned id) {
  if (reason != nullptr) *reason = FormatReason(id);
}

}  // namespace

bool IsEmailItemClass(std::string_view messageClass) {
  return messageClass.starts_with(kEmailItemClass) &&
         (messageClass.size() == kEmailItemClass.size() ||
          messageClass[kEmailItemClass.size()] == '.');
}

Classifier::Classifier(const ClassifyContext& context)
    : context_(context), time_(context.clock.Now()) {}

bool Classifier::Classify(std::shared_ptr<mapi::Message> message, std::string* reason,
                          ClassifyFlags flags) const {
  MessageRecord record(std::move(message));
  return ClassifyRecord(record, reason, flags);
}

Verdict Classifier::Judge(std::shared_ptr<mapi::Message> message, ClassifyFlags flags) const {
  Verdict verdict;
  verdict.spam = Classify(std::move(message), &verdict.reason, flags);
  return verdict;
}

bool Classifier::ClassifyRecord(MessageRecord& record, std::string* reason,
                                ClassifyFlags flags) const {
  // 1. Delivery reports, before anything else.
  if (IsDeliveryReport(record)) {
    const bool suspicious = IsSuspiciousReport(record, context_.settings, time_);
    WriteReason(reason, suspicious ? kReasonSuspiciousReport : kReasonDeliveryReport);
    return suspicious;
  }

  // 2. Only e-mail items are judged.
  if (!IsEmailItemClass(record.GetString(mapi::PR_MESSAGE_CLASS))) {
    WriteReason(reason, kReasonNotEmailItem);
    return false;
  }

  // 3. Drafts are the user's own work in progress.
  if ((flags & kCheckDraft) != 0) {
    const mapi::Result<std::int32_t> messageFlags = record.GetLong(mapi::PR_MESSAGE_FLAGS);
    if (messageFlags.ok() &&
        (static_cast<std::uint32_t>(messageFlags.value) & mapi::MSGFLAG_UNSENT) != 0) {
      WriteReason(reason, kReasonDraft);
      return false;
    }
  }

  // 4. The list rules; mail they find good may be learned.
  switch (ListRules(record, reason, flags)) {
    case RuleOutcome::kGood:
      if ((flags & kLearnGood) != 0) LearnGoodMessage(record, context_.mailbase);
      return false;
    case RuleOutcome::kSpam:
      return true;
    case RuleOutcome::kNoDecision:
      break;
  }

  // 5. The content rules.
  if ((flags & kCheckContent) != 0) {
    switch (ContentRules(record, reason)) {
      case RuleOutcome::kGood:
        return false;
      case RuleOutcome::kSpam:
        return true;
      case RuleOutcome::kNoDecision:
        break;
    }
  }

  // 6. Nothing decided.
  WriteReason(reason, kReasonNoDecision);
  return false;
}

RuleOutcome Classifier::ListRules(MessageRecord& record, std::string* reason,
                                  ClassifyFlags flags) const {
  const ListRuleEnv env{context_.settings, time_, context_.trustedDomains};
  const bool recipients = (flags & kCheckRecipients) != 0;
  const bool lists = (flags & kListRuleBits) != 0;
  const bool content = (flags & kCheckContent) != 0;

  RuleOutcome outcome = AvReportRule(record, reason);
  if (outcome == RuleOutcome::kNoDecision && recipients) {
    outcome = SafeRecipientsRule(record, env, reason);
    if (outcome == RuleOutcome::kNoDecision) outcome = OwnAccountRule(record, env, reason);
  }
  if (outcome == RuleOutcome::kNoDecision && lists) outcome = WhiteListRule(record, env, reason);
  if (outcome == RuleOutcome::kNoDecision && content) {
    outcome = DictionaryRule(record, context_.settings, CustomDictionary::kNotSpam, reason);
  }
  if (outcome == RuleOutcome::kNoDecision && lists) outcome = BlackListRule(record, env, reason);
  if (outcome == RuleOutcome::kNoDecision && content) {
    outcome = DictionaryRule(record, context_.settings, CustomDictionary::kSpam, reason);
  }
  return outcome;
}

RuleOutcome Classifier::ContentRules(MessageRecord& record, std::string* reason) const {
  const RuleOutcome outcome = PredefinedRules(record, context_.settings, reason);
  if (outcome != RuleOutcome::kNoDecision) return outcome;
  return BayesRule(record, context_.mailbase, context_.messageBoxes, reason);
}

}  // namespace quorvel
