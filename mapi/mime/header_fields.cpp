#include "mapi/mime/header_fields.h"

namespace quorvel::mapi {
namespace {

struct NamedField {
  std::string_view name;  // lower case
  HeaderField field;
};

constexpr NamedField kReadFields[] = {
    {"subject", HeaderField::kSubject},
    {"from", HeaderField::kFrom},
    {"to", HeaderField::kTo},
    {"cc", HeaderField::kCc},
    {"bcc", HeaderField::kBcc},
    {"delivered-to", HeaderField::kDeliveredTo},
    {"x-original-to", HeaderField::kXOriginalTo},
    {"message-id", HeaderField::kMessageId},
    {"date", HeaderField::kDate},
    {"mime-version", HeaderField::kMimeVersion},
};

constexpr std::string_view kContentPrefix = "content-";

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// `lower` is in lower case already.
bool EqualsNoCase(std::string_view name, std::string_view lower) {
  if (name.size() != lower.size()) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (Lower(name[i]) != lower[i]) return false;
  }
  return true;
}

}  // namespace

HeaderField FindHeaderField(std::string_view name) {
  for (const NamedField& read : kReadFields) {
    if (EqualsNoCase(name, read.name)) return read.field;
  }
  if (name.size() > kContentPrefix.size() &&
      EqualsNoCase(name.substr(0, kContentPrefix.size()), kContentPrefix)) {
    return HeaderField::kContent;
  }
  return HeaderField::kUnread;
}

}  // namespace quorvel::mapi
