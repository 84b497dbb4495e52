#include "outlook/support_mail.h"

#include "crash/version_text.h"
#include "platform/message_box.h"
#include "platform/string_table.h"

namespace quorvel::outlook {
namespace {

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos;
       at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
}

// A text filled into the link, with what would end its field early escaped.
std::string Field(std::string text) {
  ReplaceAll(text, "%", "%25");
  ReplaceAll(text, "&", "%26");
  ReplaceAll(text, "#", "%23");
  return text;
}

}  // namespace

std::string OutlookVersionText(const std::string& hostName, const std::string& version) {
  if (hostName.empty() || version.empty()) return " Unknown";
  return crash::HostVersionText(hostName, version);
}

std::string WindowsVersionText(std::size_t bufferSize) {
  return crash::SystemVersionText(bufferSize, crash::ReadSystemIdentity());
}

std::string SupportRequest(const SupportTexts& t) {
  const std::string version = Field(t.programVersion);
  return std::string("mailto:") + kSupportMailbox + "@" + kSupportDomain +
         "?subject=Support Request (Quorvel " + version + ")&body=Program Version: Quorvel " +
         version + "\r\nCompilation Time: " + Field(t.compilationDate) +
         "\r\nOperation System: " + Field(t.systemText) +
         "\r\nOutlook Version:" + Field(t.hostText) + "\r\n\r\n";
}

std::string MailtoLink(const std::string& request) {
  std::string link = request;
  ReplaceAll(link, "\r\n", "%0d%0a");
  ReplaceAll(link, " ", "%20");
  return link;
}

void EmailToSupport(ui::Ui& ui, const SupportTexts& t) {
  if (ui.OpenUrl(MailtoLink(SupportRequest(t)))) return;
  const std::string text =
      std::string("No mail program opened the support request. Send it to ") + kSupportMailbox +
      "@" + kSupportDomain + " yourself:\n\nSubject: Support Request (Quorvel " + t.programVersion +
      ")\n\nProgram Version: Quorvel " + t.programVersion +
      "\nCompilation Time: " + t.compilationDate + "\nOperation System: " + t.systemText +
      "\nOutlook Version:" + t.hostText + "\n";
  ui.Show(text, std::string(platform::kProductName),
          platform::MB_OK | platform::MB_ICONINFORMATION);
}

}  // namespace quorvel::outlook
