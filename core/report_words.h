// The delivery-report word table and the pure test behind IsDeliveryReport.
//
// Nine lower-case texts, in this order: the two sender beginnings
// ("mailer-daemon", "postmaster"), then the subject beginnings that go with the
// first sender, then those that go with the second. Thread-safe (pure).
#ifndef QUORVEL_CORE_REPORT_WORDS_H_
#define QUORVEL_CORE_REPORT_WORDS_H_

#include <array>
#include <span>
#include <string_view>

namespace quorvel {

inline constexpr std::array<std::string_view, 9> kDeliveryReportWords = {
    "mailer-daemon",   // sender of the first kind
    "postmaster",      // sender of the second kind
    "failure notice",  // subjects from mailer-daemon
    "returned mail",
    "mail delivery failed",
    "delivery status notification",  // subjects from postmaster
    "delivery failure",
    "undeliverable",
    "mail delivery warning",
};

inline constexpr std::string_view kMailerDaemon = kDeliveryReportWords[0];
inline constexpr std::string_view kPostmaster = kDeliveryReportWords[1];
inline constexpr std::span<const std::string_view> kMailerDaemonSubjects{
    kDeliveryReportWords.data() + 2, 3};
inline constexpr std::span<const std::string_view> kPostmasterSubjects{
    kDeliveryReportWords.data() + 5, 4};

// The message class of a non-delivery report (compared case-insensitively).
inline constexpr std::string_view kNdrMessageClass = "REPORT.IPM.Note.NDR";

// The inputs of the delivery-report test, as read from the message.
struct ReportFields {
  std::string_view messageClass;
  std::string_view subject;
  std::string_view senderAddress;
  bool hasDeliveryDetails = false;  // an attachment named details.txt
};

// True when the fields describe a delivery report: the NDR class, or a
// mailer-daemon or postmaster sender with one of its subject beginnings (a
// postmaster report may instead carry details.txt). Sender and subject are
// lower-cased in the code page before they are compared from their first
// character, so "Re: Undeliverable" does not count.
bool LooksLikeDeliveryReport(const ReportFields& fields);

}  // namespace quorvel

#endif  // QUORVEL_CORE_REPORT_WORDS_H_
