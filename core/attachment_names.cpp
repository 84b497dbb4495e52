#include "core/attachment_names.h"

#include <cstddef>

namespace quorvel {
namespace {

constexpr std::string_view kAvReportNames[] = {
    "deleted attachment.txt", "quarantined attachment.txt", "deleted0.txt",
    "_______warn.txt",        "viruswarning.txt",           "mcafee_emailscanreport.txt",
};
constexpr std::string_view kAvReportPrefix = "norton antivirus";
constexpr std::string_view kAvReportSuffix = ".txt";

constexpr std::string_view kExecutableExtensions[] = {"exe", "com", "cmd", "bat", "scr", "pif"};

constexpr std::string_view kDeliveryDetailsName = "details.txt";

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

// `text`, lower-cased, equals `lower` (already lower case).
bool EqualsLower(std::string_view text, std::string_view lower) {
  if (text.size() != lower.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (LowerAscii(text[i]) != lower[i]) return false;
  }
  return true;
}

// `text`, lower-cased, contains `lower`.
bool ContainsLower(std::string_view text, std::string_view lower) {
  if (lower.size() > text.size()) return false;
  for (std::size_t i = 0; i + lower.size() <= text.size(); ++i) {
    if (EqualsLower(text.substr(i, lower.size()), lower)) return true;
  }
  return false;
}

// The text after the last "."; false when the name has none.
bool Extension(std::string_view fileName, std::string_view* extension) {
  std::size_t dot = fileName.rfind('.');
  if (dot == std::string_view::npos) return false;
  *extension = fileName.substr(dot + 1);
  return true;
}

}  // namespace

bool IsAvReportName(std::string_view fileName) {
  for (std::string_view name : kAvReportNames) {
    if (EqualsLower(fileName, name)) return true;
  }
  return fileName.size() >= kAvReportPrefix.size() && fileName.size() >= kAvReportSuffix.size() &&
         EqualsLower(fileName.substr(0, kAvReportPrefix.size()), kAvReportPrefix) &&
         EqualsLower(fileName.substr(fileName.size() - kAvReportSuffix.size()), kAvReportSuffix);
}

bool IsExecutableName(std::string_view fileName) {
  std::string_view extension;
  if (!Extension(fileName, &extension)) return false;
  for (std::string_view executable : kExecutableExtensions) {
    if (ContainsLower(extension, executable)) return true;
  }
  return false;
}

bool HasHtmlExtension(std::string_view fileName) {
  std::string_view extension;
  return Extension(fileName, &extension) && extension.find("htm") != std::string_view::npos;
}

bool IsDeliveryDetailsName(std::string_view fileName) {
  return EqualsLower(fileName, kDeliveryDetailsName);
}

}  // namespace quorvel
