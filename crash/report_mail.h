// The mail that carries an exception report to support: a MIME message with a short
// text and the report attached (base64), as RFC 5322 text with "\n" line ends, ready
// for a Maildir file or for `sendmail -t -i`.
#ifndef QUORVEL_CRASH_REPORT_MAIL_H_
#define QUORVEL_CRASH_REPORT_MAIL_H_

#include <string>

namespace quorvel::crash {

// The support mailbox the report goes to.
inline constexpr const char* kSupportAddress = "support@veltmark.example";

struct ReportMail {
  std::string from;  // "" : no From field (sendmail fills in the user)
  std::string to = kSupportAddress;
  std::string version;     // the program's version
  std::string compiledOn;  // "Mmm dd yyyy"
  std::string date;        // an RFC 5322 date
  std::string messageId;   // without the angle brackets
  std::string boundary;    // must not occur in the report's base64 (it never holds '_')
};

// "Quorvel <version> Exception Report. Build <compiledOn>"
std::string ReportMailSubject(const ReportMail& mail);

std::string ComposeReportMail(const ReportMail& mail, const std::string& reportName,
                              const std::string& reportBytes);

}  // namespace quorvel::crash

#endif  // QUORVEL_CRASH_REPORT_MAIL_H_
