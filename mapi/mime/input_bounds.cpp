#include "mapi/mime/input_bounds.h"

#include <cstring>
#include <string_view>
#include <vector>

namespace quorvel::mapi {
namespace {

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

// Every field GMime, or a reader after it, may take as an address list.
bool IsAddressField(std::string_view name) {
  static constexpr std::string_view kFields[] = {"from",
                                                 "sender",
                                                 "reply-to",
                                                 "to",
                                                 "cc",
                                                 "bcc",
                                                 "resent-from",
                                                 "resent-sender",
                                                 "resent-to",
                                                 "resent-cc",
                                                 "resent-bcc",
                                                 "resent-reply-to",
                                                 "mail-reply-to",
                                                 "mail-followup-to",
                                                 "return-receipt-to",
                                                 "disposition-notification-to"};
  for (std::string_view field : kFields) {
    if (EqualsNoCase(name, field)) return true;
  }
  return false;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool IsFieldNameByte(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '_';
}

// The offset of the colon when `line` starts a header field ("Name:" or "Name :"),
// else npos.
std::size_t FieldColon(std::string_view line) {
  std::size_t i = 0;
  while (i < line.size() && IsFieldNameByte(line[i])) ++i;
  if (i == 0) return std::string_view::npos;
  std::size_t colon = i;
  while (colon < line.size() && (line[colon] == ' ' || line[colon] == '\t')) ++colon;
  return colon < line.size() && line[colon] == ':' ? colon : std::string_view::npos;
}

struct AddressBudget {
  std::size_t entries = kMaxAddressEntries;
  std::size_t bytes = kMaxAddressBytes;
  bool cutNesting = false;
  bool cutEntries = false;
  bool cutBytes = false;
};

// Past the quoted string, comment, domain literal or angle address that starts at
// value[i]; comments nest, and a backslash escapes the next byte in all but angles.
std::size_t SkipSpan(std::string_view value, std::size_t i) {
  const char open = value[i];
  const char close = open == '"' ? '"' : open == '(' ? ')' : open == '[' ? ']' : '>';
  int depth = 1;
  for (++i; i < value.size(); ++i) {
    const char c = value[i];
    if (c == '\\' && open != '<') {
      ++i;
    } else if (c == close && --depth == 0) {
      return i + 1;
    } else if (open == '(' && c == '(') {
      ++depth;
    }
  }
  return value.size();
}

// How much of one address field's value (its continuation lines included) stays: all
// of it, or up to the end of the last whole entry before a bound was reached.
std::size_t KeptAddressLength(std::string_view value, AddressBudget* budget) {
  std::size_t lastBoundary = 0;  // just past the last ',', ':' or ';'
  int depth = 0;
  bool inEntry = false;
  std::size_t i = 0;
  while (i < value.size()) {
    const char c = value[i];
    if (IsBlank(c)) {
      ++i;
      continue;
    }
    if (c == ',' || c == ';' || c == ':') {
      if (c == ':' && ++depth > kMaxGroupDepth) {
        budget->cutNesting = true;
        break;
      }
      if (c == ';' && depth > 0) --depth;
      inEntry = false;
      lastBoundary = ++i;
      continue;
    }
    if (!inEntry) {
      if (budget->entries == 0) {
        budget->cutEntries = true;
        break;
      }
      --budget->entries;
      inEntry = true;
    }
    i = (c == '"' || c == '(' || c == '[' || c == '<') ? SkipSpan(value, i) : i + 1;
    if (i > budget->bytes) {
      budget->cutBytes = true;
      break;
    }
  }
  const std::size_t kept = i >= value.size() ? value.size() : lastBoundary;
  budget->bytes -= kept < budget->bytes ? kept : budget->bytes;
  return kept;
}

// The end of the physical line starting at `from` (just past its '\n', or `size`).
std::size_t LineEnd(const char* data, std::size_t size, std::size_t from) {
  const void* nl = std::memchr(data + from, '\n', size - from);
  return nl == nullptr ? size : static_cast<std::size_t>(static_cast<const char*>(nl) - data) + 1;
}

// The field name before `colon`, without the blanks some senders put before it.
std::string_view FieldName(std::string_view line, std::size_t colon) {
  std::string_view name = line.substr(0, colon);
  while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) name.remove_suffix(1);
  return name;
}

// The end of a field that starts at `in`: past its continuation lines.
std::size_t FieldEnd(const char* data, std::size_t size, std::size_t lineEnd) {
  std::size_t end = lineEnd;
  while (end < size && (data[end] == ' ' || data[end] == '\t')) end = LineEnd(data, size, end);
  return end;
}

// The multiparts open at a point of the message, as GMime will see them: their
// boundaries, innermost last. A boundary that could not be read from its field (an
// encoded "boundary*" parameter, say) is empty and matches every line that starts
// with "--", so that such parts are counted rather than missed.
class MultipartTracker {
 public:
  // A "Content-Type:" field's value (continuation lines included). False when it opens
  // a multipart deeper than kMaxMultipartDepth.
  bool ContentType(std::string_view value) {
    std::size_t i = 0;
    while (i < value.size() && IsBlank(value[i])) ++i;
    constexpr std::string_view kMultipart = "multipart/";
    if (value.size() - i < kMultipart.size() ||
        !EqualsNoCase(value.substr(i, kMultipart.size()), kMultipart)) {
      return true;
    }
    if (open_.size() >= kMaxMultipartDepth) return false;
    open_.emplace_back(Boundary(value));
    return true;
  }

  // A line that starts with "--". False when it is a delimiter beyond kMaxParts.
  bool DashLine(std::string_view line) {
    for (std::size_t level = open_.size(); level-- > 0;) {
      const std::string_view boundary = open_[level];
      if (!line.substr(2).starts_with(boundary)) continue;
      if (!boundary.empty() && line.substr(2 + boundary.size()).starts_with("--")) {
        open_.resize(level);  // the closing delimiter ends the inner ones as well
        return true;
      }
      return ++parts_ <= kMaxParts;
    }
    return true;
  }

  bool AnyOpen() const { return !open_.empty(); }

 private:
  static std::string_view Boundary(std::string_view value) {
    for (std::size_t at = 0; at + 8 <= value.size(); ++at) {
      if (!EqualsNoCase(value.substr(at, 8), "boundary")) continue;
      std::size_t i = at + 8;
      while (i < value.size() && IsBlank(value[i])) ++i;
      if (i >= value.size() || value[i] != '=') return {};  // "boundary*" and the like
      ++i;
      while (i < value.size() && IsBlank(value[i])) ++i;
      if (i < value.size() && value[i] == '"') {
        const std::size_t close = value.find('"', i + 1);
        return close == std::string_view::npos ? std::string_view()
                                               : value.substr(i + 1, close - i - 1);
      }
      std::size_t end = i;
      while (end < value.size() && !IsBlank(value[end]) && value[end] != ';') ++end;
      return value.substr(i, end - i);
    }
    return {};
  }

  std::vector<std::string_view> open_;  // views into the message, which outlives this
  std::size_t parts_ = 0;
};

void AddNote(std::string* note, const std::string& text) {
  if (!note->empty()) *note += "; ";
  *note += text;
}

}  // namespace

std::string MessageSizeNote() {
  return "only the first " + std::to_string(kMaxMessageBytes >> 20) + " MiB of the message read";
}

std::size_t BoundMessageInput(char* data, std::size_t size, std::string* note) {
  AddressBudget budget;
  MultipartTracker multiparts;
  bool inHeader = true;  // in the top-level header block
  std::size_t headerBytes = 0, headerFields = 0;
  bool droppingHeader = false;
  bool cutDepth = false, cutParts = false;
  std::size_t in = 0, out = 0;
  auto emit = [&](std::size_t from, std::size_t length) {
    if (out != from) std::memmove(data + out, data + from, length);
    out += length;
  };
  while (in < size) {
    std::size_t end = LineEnd(data, size, in);
    const std::string_view line(data + in, end - in);
    const bool continuation = line[0] == ' ' || line[0] == '\t';
    const std::size_t colon = continuation ? std::string_view::npos : FieldColon(line);
    if (inHeader) {
      const bool mailboxSeparator = in == 0 && line.starts_with("From ");
      if (!mailboxSeparator && !continuation && colon == std::string_view::npos) {
        inHeader = false;  // the empty line, or a body without one
      } else {
        headerBytes += line.size();
        headerFields += colon != std::string_view::npos ? 1 : 0;
        if (headerBytes > kMaxHeaderBytes || headerFields > kMaxHeaderFields) {
          droppingHeader = true;
        }
        if (droppingHeader) {
          in = end;
          continue;
        }
      }
    }
    // Everything from a multipart too deep, or a part too many, on is left out.
    if (line.starts_with("--") && multiparts.AnyOpen() && !multiparts.DashLine(line)) {
      cutParts = true;
      break;
    }
    if (colon == std::string_view::npos) {
      emit(in, end - in);
      in = end;
      continue;
    }
    const std::string_view name = FieldName(line, colon);
    if (EqualsNoCase(name, "content-type")) {
      const std::size_t fieldEnd = FieldEnd(data, size, end);
      const std::size_t valueStart = in + colon + 1;
      if (!multiparts.ContentType(std::string_view(data + valueStart, fieldEnd - valueStart))) {
        cutDepth = true;
        break;
      }
      emit(in, fieldEnd - in);
      in = fieldEnd;
      continue;
    }
    if (!IsAddressField(name)) {
      emit(in, end - in);
      in = end;
      continue;
    }
    // An address field with its continuation lines.
    const std::size_t fieldEnd = FieldEnd(data, size, end);
    const std::size_t valueStart = in + colon + 1;
    const std::string_view value(data + valueStart, fieldEnd - valueStart);
    const std::size_t kept = KeptAddressLength(value, &budget);
    if (kept == value.size()) {
      emit(in, fieldEnd - in);
    } else {
      emit(in, valueStart + kept - in);
      data[out++] = '\n';  // fits: at least the line end that followed was dropped
    }
    in = fieldEnd;
  }
  if (budget.cutNesting) {
    AddNote(note, "address groups nested deeper than " + std::to_string(kMaxGroupDepth) +
                      " levels cut off");
  }
  if (budget.cutEntries) {
    AddNote(note, "addresses after the first " + std::to_string(kMaxAddressEntries) + " left out");
  }
  if (budget.cutBytes) {
    AddNote(note,
            "address fields beyond " + std::to_string(kMaxAddressBytes >> 10) + " KiB cut off");
  }
  if (cutDepth) {
    AddNote(note, "the message cut where multiparts nest deeper than " +
                      std::to_string(kMaxMultipartDepth));
  }
  if (cutParts) {
    AddNote(note, "the message cut after its first " + std::to_string(kMaxParts) + " parts");
  }
  if (droppingHeader) {
    AddNote(note, "header fields beyond " + std::to_string(kMaxHeaderBytes >> 10) + " KiB or " +
                      std::to_string(kMaxHeaderFields) + " fields left out");
  }
  return out;
}

}  // namespace quorvel::mapi
