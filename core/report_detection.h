// Delivery reports: recognising one, and judging whether it plausibly answers mail
// the user really sent. (Reports of anti-virus software are recognised by the
// record's attachment summary; see AvReportRule.)
//
// Thread-safety: a record belongs to the calling thread; the White List is read
// under the settings lock, taken for each look-up.
#ifndef QUORVEL_CORE_REPORT_DETECTION_H_
#define QUORVEL_CORE_REPORT_DETECTION_H_

#include <string_view>

#include "core/message_record.h"
#include "core/report_words.h"
#include "platform/clock.h"
#include "settings/settings_holder.h"

namespace quorvel {

// The NDR message class, or a mailer-daemon or postmaster sender with one of the
// subject beginnings of the delivery-report word table (a postmaster report may
// carry details.txt instead).
bool IsDeliveryReport(MessageRecord& record);

// For a delivery report: false (a genuine report) when the reporting sender is in
// the White List at all, or when the address the report is about is in it as a
// single address; true otherwise, also when no address can be found. The address
// the report is about is the first one in the body text, else the first one after
// the last "To:" of the transport headers. A matched entry's lastUsed becomes `time`.
bool IsSuspiciousReport(MessageRecord& record, SettingsHolder& settings, platform::FileTime time);

// The address a report is about (see above), or the empty text.
std::string ReportedAddress(std::string_view body, std::string_view headers);

}  // namespace quorvel

#endif  // QUORVEL_CORE_REPORT_DETECTION_H_
