#include "core/list_rules.h"

#include <optional>

#include "core/address.h"
#include "core/reason_text.h"
#include "lists/contact.h"
#include "lists/dictionary.h"
#include "mapi/tags.h"
#include "platform/code_page.h"

namespace quorvel {
namespace {

RuleOutcome Decide(RuleOutcome outcome, std::string* reason, unsigned id,
                   std::string_view value = {}) {
  if (reason != nullptr) *reason = FormatReason(id, value);
  return outcome;
}

// The same look-up for the White List and the Black List: the contact list first
// (a domain entry or a single address), then the pattern list. Runs under the
// settings lock; the answer is copied out before the lock goes.
struct SenderListMatch {
  enum Kind { kNone, kDomain, kAddress, kPattern } kind = kNone;
  std::string text;  // display text, domain key or pattern
};

SenderListMatch LookUpSender(ContactList& list, const StringSet& patterns, const Contact& sender,
                             platform::FileTime time) {
  if (std::optional<ContactPosition> found = list.Find(sender, time)) {
    return {found->Entry() == nullptr ? SenderListMatch::kDomain : SenderListMatch::kAddress,
            found->Display()};
  }
  if (std::optional<std::string> pattern = patterns.MatchWildcard(sender)) {
    return {SenderListMatch::kPattern, std::move(*pattern)};
  }
  return {};
}

}  // namespace

RuleOutcome AvReportRule(MessageRecord& record, std::string* reason) {
  if ((record.GetAttachmentSummary().attachmentFlags & HasAvReport) == 0) {
    return RuleOutcome::kNoDecision;
  }
  return Decide(RuleOutcome::kSpam, reason, kReasonAvReport);
}

RuleOutcome WhiteListRule(MessageRecord& record, const ListRuleEnv& env, std::string* reason) {
  const std::string& senderAddress = record.GetString(mapi::PR_SENDER_EMAIL_ADDRESS);
  const Identity sender = MakeIdentity(senderAddress, record.GetString(mapi::PR_SENDER_NAME));
  const Identity receiver = MakeIdentity(record.GetString(mapi::PR_RECEIVED_BY_EMAIL_ADDRESS),
                                         record.GetString(mapi::PR_DISPLAY_TO));
  // Mail that carries the user's own address as sender is never let through by the
  // White List: the user's own address is the one most often forged.
  if (SamePerson(sender, receiver, /*strict=*/true)) return RuleOutcome::kNoDecision;

  const Contact contact = MakeContact(senderAddress);
  for (std::string_view domain : env.trustedDomains) {
    if (!contact.domainKey.empty() && platform::EqualsNoCase(contact.domainKey, domain)) {
      return Decide(RuleOutcome::kGood, reason, kReasonWhiteDomain, contact.domainKey);
    }
  }

  SenderListMatch match;
  {
    SettingsHolder::Locked live = env.settings.Lock();
    match = LookUpSender(live->whiteList, live->whiteListWildcards, contact, env.time);
  }
  switch (match.kind) {
    case SenderListMatch::kDomain:
      return Decide(RuleOutcome::kGood, reason, kReasonWhiteDomain, match.text);
    case SenderListMatch::kAddress:
      return Decide(RuleOutcome::kGood, reason, kReasonWhiteAddress, match.text);
    case SenderListMatch::kPattern:
      return Decide(RuleOutcome::kGood, reason, kReasonWhiteWildcard, match.text);
    case SenderListMatch::kNone:
      break;
  }
  return RuleOutcome::kNoDecision;
}

RuleOutcome BlackListRule(MessageRecord& record, const ListRuleEnv& env, std::string* reason) {
  const Contact contact = MakeContact(record.GetString(mapi::PR_SENDER_EMAIL_ADDRESS));
  SenderListMatch match;
  {
    SettingsHolder::Locked live = env.settings.Lock();
    match = LookUpSender(live->blackList, live->blackListWildcards, contact, env.time);
  }
  switch (match.kind) {
    case SenderListMatch::kDomain:
      return Decide(RuleOutcome::kSpam, reason, kReasonBlackDomain, match.text);
    case SenderListMatch::kAddress:
      return Decide(RuleOutcome::kSpam, reason, kReasonBlackAddress, match.text);
    case SenderListMatch::kPattern:
      return Decide(RuleOutcome::kSpam, reason, kReasonBlackWildcard, match.text);
    case SenderListMatch::kNone:
      break;
  }
  return RuleOutcome::kNoDecision;
}

RuleOutcome DictionaryRule(MessageRecord& record, SettingsHolder& settings, CustomDictionary which,
                           std::string* reason) {
  {
    // An empty dictionary decides nothing, and needs none of the texts.
    SettingsHolder::Locked live = settings.Lock();
    const StringSet& words = which == CustomDictionary::kNotSpam ? live->customGoodDictionary
                                                                 : live->customSpamDictionary;
    if (words.Empty()) return RuleOutcome::kNoDecision;
  }
  // The texts come from the store (the body is extracted on first use), so they are
  // read before the lock is taken again.
  const std::string& subject = record.GetString(mapi::PR_SUBJECT);
  const std::string& body = record.GetString(mapi::PR_BODY);
  const std::string& senderName = record.GetString(mapi::PR_SENDER_NAME);

  std::optional<DictionaryMatch> match;
  {
    SettingsHolder::Locked live = settings.Lock();
    const StringSet& words = which == CustomDictionary::kNotSpam ? live->customGoodDictionary
                                                                 : live->customSpamDictionary;
    match = MatchDictionary(words, subject, body, senderName);
  }
  if (!match) return RuleOutcome::kNoDecision;
  // The word is quoted in lower case, as it was searched for.
  return which == CustomDictionary::kNotSpam
             ? Decide(RuleOutcome::kGood, reason, kReasonNotSpamWord, match->lowered)
             : Decide(RuleOutcome::kSpam, reason, kReasonSpamWord, match->lowered);
}

}  // namespace quorvel
