// The predefined rules: fixed tests on the sender fields, the markers that HTML
// extraction leaves in the body text, the attachment summary and the topmost
// transport header. They run after the list rules and before the Bayesian rule,
// with CheckContent only. All of them condemn but one: a sender display name under
// which the user sends mail acquits (245).
//
// Thread-safety: a record belongs to the calling thread; the settings lock is taken
// only to look the sender's name up in SentFromNames and to read
// CheckExternalImages.
#ifndef QUORVEL_CORE_PREDEFINED_RULES_H_
#define QUORVEL_CORE_PREDEFINED_RULES_H_

#include <cstddef>
#include <string>
#include <string_view>

#include "core/message_record.h"
#include "core/verdict.h"
#include "settings/settings_holder.h"

namespace quorvel {

// An embedded image outside any link counts as suspicious when its marker starts at
// one of the first 120 characters of the body text.
inline constexpr std::size_t kSuspiciousImageLastIndex = 119;
// The remark of a receiving server that could not resolve the sending host, looked
// for in the first Received header: it must start at one of the first 200
// characters of the transport headers.
inline constexpr std::string_view kRdnsFailedRemark = "] RDNS failed) by";
inline constexpr std::size_t kRdnsFailedLastIndex = 199;

// The rules in their order; the first that fires decides and writes the reason
// (when `reason` is not null).
RuleOutcome PredefinedRules(MessageRecord& record, SettingsHolder& settings, std::string* reason);

// True when `text` is empty or holds only blanks, CR, LF and tabs.
bool IsBlankText(std::string_view text);

// True when the first occurrence of `needle` in `text` (case-sensitive) starts at an
// index from 0 to `lastIndex`.
bool FirstOccursWithin(std::string_view text, std::string_view needle, std::size_t lastIndex);

}  // namespace quorvel

#endif  // QUORVEL_CORE_PREDEFINED_RULES_H_
