// The Safe Recipients rule and the own-account rule (declared in list_rules.h).
#include <optional>
#include <vector>

#include "core/address.h"
#include "core/list_rules.h"
#include "core/own_message_mark.h"
#include "core/reason_text.h"
#include "lists/contact.h"
#include "mapi/tags.h"

namespace quorvel {

RuleOutcome SafeRecipientsRule(MessageRecord& record, const ListRuleEnv& env, std::string* reason) {
  // A table that cannot be read leaves the list empty: nothing matches.
  std::vector<Identity> recipients;
  if (const std::shared_ptr<mapi::Message>& message = record.message()) {
    if (mapi::Result<std::vector<Identity>> collected = CollectRecipients(*message)) {
      recipients = std::move(collected.value);
    }
  }
  if (recipients.empty()) return RuleOutcome::kNoDecision;

  std::optional<std::string> matched;
  {
    SettingsHolder::Locked live = env.settings.Lock();
    for (const Identity& recipient : recipients) {
      const Contact contact = MakeContact(recipient.address);
      if (std::optional<ContactPosition> found = live->safeRecipients.Find(contact, env.time)) {
        matched = found->Display();
        break;
      }
      if ((matched = live->safeRecipientsWildcards.MatchWildcard(contact))) break;
    }
  }
  if (!matched) return RuleOutcome::kNoDecision;
  if (reason != nullptr) *reason = FormatReason(kReasonSafeRecipient, *matched);
  return RuleOutcome::kGood;
}

RuleOutcome OwnAccountRule(MessageRecord& record, const ListRuleEnv& env, std::string* reason) {
  const Identity sender = MakeIdentity(record.GetString(mapi::PR_SENDER_EMAIL_ADDRESS),
                                       record.GetString(mapi::PR_SENDER_NAME));
  const Identity receiver = MakeIdentity(record.GetString(mapi::PR_RECEIVED_BY_EMAIL_ADDRESS),
                                         record.GetString(mapi::PR_DISPLAY_TO));
  if (!SamePerson(sender, receiver, /*strict=*/false)) return RuleOutcome::kNoDecision;

  const bool marked = HasOwnMessageMark(record);
  if (!marked && !record.GetString(mapi::PR_TRANSPORT_MESSAGE_HEADERS).empty()) {
    // Mail that came over the Internet and only claims to be the user's own is
    // accepted when its subject is one the user sent.
    const Contact subject = MakeContact(record.GetString(mapi::PR_SUBJECT));
    SettingsHolder::Locked live = env.settings.Lock();
    if (!live->sentSubjs.Find(subject, env.time)) return RuleOutcome::kNoDecision;
  }

  if (reason != nullptr) {
    *reason = FormatReason(kReasonOwnAccount,
                           DisplayForm(sender.address, sender.name, /*addressOnly=*/false));
  }
  // A failure to write the mark changes nothing: the message is the user's own.
  if (!marked) SetOwnMessageMark(record);
  return RuleOutcome::kGood;
}

}  // namespace quorvel
