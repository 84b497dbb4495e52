#include "crash/report_mail.h"

#include <cstdint>

namespace quorvel::crash {
namespace {

std::string Base64Lines(const std::string& bytes) {
  static constexpr char kDigits[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  std::size_t lineLength = 0;
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::size_t n = bytes.size() - i < 3 ? bytes.size() - i : 3;
    std::uint32_t group = 0;
    for (std::size_t k = 0; k < 3; ++k) {
      group = (group << 8) | (k < n ? static_cast<unsigned char>(bytes[i + k]) : 0u);
    }
    for (std::size_t k = 0; k < 4; ++k) {
      out += k <= n ? kDigits[(group >> (18 - 6 * k)) & 0x3F] : '=';
    }
    lineLength += 4;
    if (lineLength == 76) {
      out += '\n';
      lineLength = 0;
    }
  }
  if (lineLength != 0) out += '\n';
  return out;
}

}  // namespace

std::string ReportMailSubject(const ReportMail& mail) {
  return "Quorvel " + mail.version + " Exception Report. Build " + mail.compiledOn;
}

std::string ComposeReportMail(const ReportMail& mail, const std::string& reportName,
                              const std::string& reportBytes) {
  std::string m;
  if (!mail.from.empty()) m += "From: " + mail.from + "\n";
  m += "To: " + mail.to + "\n";
  m += "Subject: " + ReportMailSubject(mail) + "\n";
  if (!mail.date.empty()) m += "Date: " + mail.date + "\n";
  if (!mail.messageId.empty()) m += "Message-ID: <" + mail.messageId + ">\n";
  m += "MIME-Version: 1.0\n";
  m += "Content-Type: multipart/mixed; boundary=\"" + mail.boundary + "\"\n\n";
  m += "--" + mail.boundary + "\n";
  m += "Content-Type: text/plain; charset=us-ascii\n\n";
  m += "Please forward this information to Quorvel support team.\n\n";
  m += "--" + mail.boundary + "\n";
  m += "Content-Type: text/plain; charset=us-ascii; name=\"" + reportName + "\"\n";
  m += "Content-Disposition: attachment; filename=\"" + reportName + "\"\n";
  m += "Content-Transfer-Encoding: base64\n\n";
  m += Base64Lines(reportBytes);
  m += "--" + mail.boundary + "--\n";
  return m;
}

}  // namespace quorvel::crash
