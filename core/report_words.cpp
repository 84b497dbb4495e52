#include "core/report_words.h"

#include <algorithm>
#include <string>

#include "platform/code_page.h"

namespace quorvel {
namespace {

bool BeginsWithAny(std::string_view text, std::span<const std::string_view> beginnings) {
  return std::any_of(beginnings.begin(), beginnings.end(),
                     [text](std::string_view b) { return text.starts_with(b); });
}

}  // namespace

bool LooksLikeDeliveryReport(const ReportFields& fields) {
  if (platform::EqualsNoCase(fields.messageClass, kNdrMessageClass)) return true;
  const std::string sender = platform::ToLowerAnsi(fields.senderAddress);
  if (sender.starts_with(kMailerDaemon)) {
    return BeginsWithAny(platform::ToLowerAnsi(fields.subject), kMailerDaemonSubjects);
  }
  if (sender.starts_with(kPostmaster)) {
    return fields.hasDeliveryDetails ||
           BeginsWithAny(platform::ToLowerAnsi(fields.subject), kPostmasterSubjects);
  }
  return false;
}

}  // namespace quorvel
