// The list rules of the chain: anti-virus report, Safe Recipients and own account,
// White List, the custom dictionaries and the Black List.
//
// Each rule reads what it needs from the record first and then takes the settings
// lock for its own look-ups only, never across a mail-store call; a timed look-up
// refreshes the matched entry's lastUsed to the classification time. A rule writes
// the reason (when `reason` is not null) only when it decides.
//
// Thread-safety: a record belongs to the calling thread; the settings are shared and
// read under their lock.
#ifndef QUORVEL_CORE_LIST_RULES_H_
#define QUORVEL_CORE_LIST_RULES_H_

#include <span>
#include <string>
#include <string_view>

#include "core/message_record.h"
#include "core/verdict.h"
#include "platform/clock.h"
#include "settings/settings_holder.h"

namespace quorvel {

struct ListRuleEnv {
  SettingsHolder& settings;
  platform::FileTime time;  // the classification time, written to matched entries
  std::span<const std::string_view> trustedDomains;
};

// An attachment is the report file of anti-virus software: spam (234).
RuleOutcome AvReportRule(MessageRecord& record, std::string* reason);

// A recipient's address is in the Safe Recipients List or matches one of its
// patterns: good (211), quoting the entry's display text or the pattern.
RuleOutcome SafeRecipientsRule(MessageRecord& record, const ListRuleEnv& env, std::string* reason);

// The sender is the receiving account (not strictly), and the message is marked as
// the user's own, or has no transport headers, or carries a subject the user sent:
// good (233). The first acceptance writes the own-message mark on the message.
RuleOutcome OwnAccountRule(MessageRecord& record, const ListRuleEnv& env, std::string* reason);

// The sender's domain is trusted (216) or the sender is in the White List (217
// single address, 216 domain) or matches one of its patterns (218): good. Mail whose
// sender address is the receiving address itself is not judged here.
RuleOutcome WhiteListRule(MessageRecord& record, const ListRuleEnv& env, std::string* reason);

// The sender is in the Black List (221 single address, 220 domain) or matches one
// of its patterns (222): spam.
RuleOutcome BlackListRule(MessageRecord& record, const ListRuleEnv& env, std::string* reason);

enum class CustomDictionary { kNotSpam, kSpam };

// A word of the custom dictionary occurs in the subject, body or sender name: good
// (223, Not-Spam) or spam (224, Spam), quoting the word in lower case.
RuleOutcome DictionaryRule(MessageRecord& record, SettingsHolder& settings, CustomDictionary which,
                           std::string* reason);

}  // namespace quorvel

#endif  // QUORVEL_CORE_LIST_RULES_H_
