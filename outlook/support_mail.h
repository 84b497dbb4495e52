// The "Email to support" command: a mailto: link with a prepared support request that
// carries the program's version, the system's and the host's, opened with the user's
// own mail handler; where nothing opens it, the request is shown as text so that the
// user can send it by hand.
//
// The version texts are those of the exception report (crash/version_text.h): the
// host's name and version with a leading blank, and the system's name, distribution,
// kernel release and machine.
#ifndef QUORVEL_OUTLOOK_SUPPORT_MAIL_H_
#define QUORVEL_OUTLOOK_SUPPORT_MAIL_H_

#include <cstddef>
#include <string>

#include "ui/ui.h"

namespace quorvel::outlook {

inline constexpr const char* kSupportMailbox = "support";
inline constexpr const char* kSupportDomain = "veltmark.example";
// The size of the buffers the version texts are made for.
inline constexpr std::size_t kVersionBufferSize = 259;

struct SupportTexts {
  std::string programVersion;   // "0.1.0"
  std::string compilationDate;  // "Oct  8 2026"
  std::string systemText;       // WindowsVersionText
  std::string hostText;         // OutlookVersionText, with its leading blank
};

// The host's version text: " <name> <version>", or " Unknown" when either is empty.
std::string OutlookVersionText(const std::string& hostName, const std::string& version);
// This system's version text for a buffer of `bufferSize` characters ("" below 64).
std::string WindowsVersionText(std::size_t bufferSize);

// The request before it becomes a link: "mailto:support@<domain>?subject=Support
// Request (Quorvel <v>)&body=Program Version: Quorvel <v>\r\nCompilation Time: <date>
// \r\nOperation System: <system>\r\nOutlook Version:<host>\r\n\r\n" (the host is
// named as it is, not as the mail client the line was first written for).
// Characters that would end a field of the link early ('%', '&', '#') are escaped in
// the texts filled in.
std::string SupportRequest(const SupportTexts& texts);
// The link: every CR LF pair as "%0d%0a", then every blank as "%20".
std::string MailtoLink(const std::string& request);

// Opens the link through `ui`; when that fails, shows the request as readable text.
void EmailToSupport(ui::Ui& ui, const SupportTexts& texts);

}  // namespace quorvel::outlook

#endif  // QUORVEL_OUTLOOK_SUPPORT_MAIL_H_
