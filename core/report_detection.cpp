#include "core/report_detection.h"

#include <optional>
#include <string>

#include "core/address.h"
#include "lists/contact.h"
#include "mapi/tags.h"

namespace quorvel {

bool IsDeliveryReport(MessageRecord& record) {
  ReportFields fields;
  fields.messageClass = record.GetString(mapi::PR_MESSAGE_CLASS);
  fields.subject = record.GetString(mapi::PR_SUBJECT);
  fields.senderAddress = record.GetString(mapi::PR_SENDER_EMAIL_ADDRESS);
  // The attachment table is read only for a postmaster sender, where it can matter.
  if (!platform::EqualsNoCase(fields.messageClass, kNdrMessageClass) &&
      platform::ToLowerAnsi(fields.senderAddress).starts_with(kPostmaster)) {
    fields.hasDeliveryDetails =
        (record.GetAttachmentSummary().attachmentFlags & HasDeliveryDetails) != 0;
  }
  return LooksLikeDeliveryReport(fields);
}

std::string ReportedAddress(std::string_view body, std::string_view headers) {
  std::string address = FirstAddress(body);
  if (!address.empty()) return address;
  const std::size_t to = headers.rfind("To:");
  if (to == std::string_view::npos) return {};
  return FirstAddress(headers.substr(to + 3));
}

bool IsSuspiciousReport(MessageRecord& record, SettingsHolder& settings, platform::FileTime time) {
  const Contact reporter = MakeContact(record.GetString(mapi::PR_SENDER_EMAIL_ADDRESS));
  {
    SettingsHolder::Locked live = settings.Lock();
    if (live->whiteList.Find(reporter, time)) return false;
  }

  const std::string address = ReportedAddress(record.GetString(mapi::PR_BODY),
                                              record.GetString(mapi::PR_TRANSPORT_MESSAGE_HEADERS));
  if (address.empty()) return true;
  const Contact reported = MakeContact(address);
  SettingsHolder::Locked live = settings.Lock();
  const std::optional<ContactPosition> found = live->whiteList.Find(reported, time);
  // Only an address the user holds by name vouches for the bounce; a domain entry
  // would let any forged bounce to that domain through.
  return !(found && found->Entry() != nullptr);
}

}  // namespace quorvel
