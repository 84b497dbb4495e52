#include "mapi/mime/header_filter.h"

#include <cstring>
#include <string_view>

#include "mapi/mime/header_fields.h"

namespace quorvel::mapi {
namespace {

bool IsReadField(std::string_view name) { return FindHeaderField(name) != HeaderField::kUnread; }

// Letters, digits, '-' and '_': the names mail uses. A rarer character leaves the
// block unfiltered rather than depend on how GMime takes it.
bool IsFieldNameByte(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '_';
}

}  // namespace

HeaderFilterResult DropUnreadHeaders(char* data, std::size_t size) {
  HeaderFilterResult result;
  result.size = size;
  if (data == nullptr || size == 0) return result;
  // First pass: check the block and find its end, without changing anything.
  std::size_t blockEnd = 0;  // just past the empty line
  bool anyKept = false, anyDropped = false;
  {
    std::size_t i = 0;
    bool inField = false;
    for (;;) {
      const void* nl = std::memchr(data + i, '\n', size - i);
      if (nl == nullptr) return result;  // no end of the block
      const std::size_t lineEnd = static_cast<std::size_t>(static_cast<const char*>(nl) - data);
      std::size_t contentEnd = lineEnd;
      if (contentEnd > i && data[contentEnd - 1] == '\r') --contentEnd;
      const std::string_view line(data + i, contentEnd - i);
      if (line.find('\r') != std::string_view::npos || line.find('\0') != std::string_view::npos) {
        return result;
      }
      if (line.empty()) {
        blockEnd = lineEnd + 1;
        break;
      }
      if (i == 0 && line.starts_with("From ")) {
        // A mailbox file's separator line stays first, as it came.
      } else if (line[0] == ' ' || line[0] == '\t') {
        if (!inField) return result;  // a continuation with nothing to continue
      } else {
        std::size_t colon = 0;
        while (colon < line.size() && IsFieldNameByte(line[colon])) ++colon;
        if (colon == 0 || colon == line.size() || line[colon] != ':') return result;
        inField = true;
        (IsReadField(line.substr(0, colon)) ? anyKept : anyDropped) = true;
      }
      i = lineEnd + 1;
    }
  }
  if (!anyKept || !anyDropped) return result;

  // Second pass: keep the read fields (with their continuation lines) in order.
  result.originalHeaders.assign(data, blockEnd);
  std::size_t out = 0;
  bool keep = false;
  for (std::size_t i = 0; i < blockEnd;) {
    const std::size_t lineEnd = static_cast<std::size_t>(
        static_cast<const char*>(std::memchr(data + i, '\n', blockEnd - i)) - data);
    const std::size_t length = lineEnd + 1 - i;
    const char first = data[i];
    if (i == 0 && std::string_view(data, length).starts_with("From ")) {
      keep = true;
    } else if (first == '\r' || first == '\n') {
      keep = true;  // the empty line
    } else if (first != ' ' && first != '\t') {
      const char* colon = static_cast<const char*>(std::memchr(data + i, ':', length));
      keep = IsReadField(std::string_view(data + i, static_cast<std::size_t>(colon - (data + i))));
    }
    if (keep) {
      std::memmove(data + out, data + i, length);
      out += length;
    }
    i = lineEnd + 1;
  }
  result.keptHeaderBytes = out;
  std::memmove(data + out, data + blockEnd, size - blockEnd);
  result.filtered = true;
  result.size = out + (size - blockEnd);
  return result;
}

}  // namespace quorvel::mapi
