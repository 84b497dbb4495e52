#include "mapi/mime/mime_text.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>

#include "platform/code_page.h"

namespace quorvel::mapi {
namespace {

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

namespace {

// How many bytes from the start are ASCII, eight at a time.
std::size_t AsciiPrefix(const unsigned char* p, std::size_t size) {
  constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
  std::size_t i = 0;
  for (; i + 8 <= size; i += 8) {
    std::uint64_t word;
    std::memcpy(&word, p + i, sizeof word);
    if ((word & kHighBits) != 0) break;
  }
  while (i < size && p[i] < 0x80) ++i;
  return i;
}

}  // namespace

bool IsAscii(std::string_view bytes) {
  return AsciiPrefix(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()) ==
         bytes.size();
}

bool IsValidUtf8(std::string_view bytes) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const auto* end = p + bytes.size();
  while (p < end) {
    unsigned char c = *p;
    if (c < 0x80) {
      p += AsciiPrefix(p, static_cast<std::size_t>(end - p));
      continue;
    }
    std::size_t n;
    std::uint32_t cp;
    if (c >= 0xC2 && c <= 0xDF) {
      n = 1;
      cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      n = 2;
      cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      n = 3;
      cp = c & 0x07;
    } else {
      return false;
    }
    if (static_cast<std::size_t>(end - p) <= n) return false;
    for (std::size_t i = 1; i <= n; ++i) {
      if ((p[i] & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (p[i] & 0x3F);
    }
    if ((n == 2 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
        (n == 3 && (cp < 0x10000 || cp > 0x10FFFF))) {
      return false;
    }
    p += n + 1;
  }
  return true;
}

std::string BytesToAnsi(std::string bytes, std::string_view charset) {
  if (IsAscii(bytes)) return bytes;
  std::string lower;
  lower.reserve(charset.size());
  for (char c : charset) lower.push_back(LowerAscii(c));
  if (!lower.empty() && lower != "us-ascii" && lower != "ascii") {
    std::string out;
    if (platform::CharsetToAnsi(lower, bytes, &out)) return out;
  }
  if (IsValidUtf8(bytes)) return platform::Utf8ToAnsi(bytes);
  std::string out;
  if (platform::CharsetToAnsi("windows-1252", bytes, &out)) return out;
  return bytes;
}

std::string ToCrlf(std::string_view text) {
  // The exact length first: a lone CR or LF grows by one byte, a CR LF stays.
  std::size_t grows = 0;
  for (std::size_t at = text.find('\n'); at != std::string_view::npos;
       at = text.find('\n', at + 1)) {
    if (at == 0 || text[at - 1] != '\r') ++grows;
  }
  for (std::size_t at = text.find('\r'); at != std::string_view::npos;
       at = text.find('\r', at + 1)) {
    if (at + 1 == text.size() || text[at + 1] != '\n') ++grows;
  }
  std::string out;
  out.reserve(text.size() + grows);
  // The next CR and LF at or after i (npos when there is none), found with memchr
  // and looked for again only once passed.
  std::size_t nextCr = text.find('\r');
  std::size_t nextLf = text.find('\n');
  for (std::size_t i = 0; i < text.size(); ++i) {
    // Text between line breaks goes in one piece.
    if (nextCr < i) nextCr = text.find('\r', i);
    if (nextLf < i) nextLf = text.find('\n', i);
    const std::size_t lineEnd = std::min({nextCr, nextLf, text.size()});
    if (lineEnd > i) {
      out.append(text.data() + i, lineEnd - i);
      i = lineEnd;
      if (i == text.size()) break;
    }
    char c = text[i];
    if (c == '\r') {
      out += "\r\n";
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else if (c == '\n') {
      out += "\r\n";
    } else {
      out.push_back(c);
    }
  }
  return out;
}

std::string SniffHtmlCharset(std::string_view html) {
  constexpr std::size_t kSniffLimit = 4096;
  std::string_view head = html.substr(0, kSniffLimit);
  std::size_t pos = 0;
  while ((pos = FindNoCaseAscii(head, "<meta", pos)) != std::string_view::npos) {
    std::size_t close = head.find('>', pos);
    std::string_view tag =
        head.substr(pos, close == std::string_view::npos ? head.npos : close - pos);
    std::size_t at = FindNoCaseAscii(tag, "charset");
    pos += 5;
    if (at == std::string_view::npos) continue;
    at += 7;
    while (at < tag.size() && (IsBlank(tag[at]) || tag[at] == '=')) ++at;
    while (at < tag.size() && (tag[at] == '"' || tag[at] == '\'')) ++at;
    std::size_t end = at;
    while (end < tag.size() &&
           (std::isalnum(static_cast<unsigned char>(tag[end])) || tag[end] == '-' ||
            tag[end] == '_' || tag[end] == ':' || tag[end] == '.')) {
      ++end;
    }
    if (end > at) return std::string(tag.substr(at, end - at));
  }
  return {};
}

std::size_t FindNoCaseAscii(std::string_view haystack, std::string_view needle, std::size_t from) {
  if (needle.empty() || needle.size() > haystack.size()) return std::string_view::npos;
  const char first = LowerAscii(needle[0]);
  for (std::size_t i = from; i + needle.size() <= haystack.size(); ++i) {
    if (LowerAscii(haystack[i]) != first) continue;
    std::size_t k = 1;
    while (k < needle.size() && LowerAscii(haystack[i + k]) == LowerAscii(needle[k])) ++k;
    if (k == needle.size()) return i;
  }
  return std::string_view::npos;
}

std::string UnfoldTrim(std::string_view raw) {
  std::string out;
  out.reserve(raw.size());
  for (char c : raw) {
    if (c != '\r' && c != '\n') out.push_back(c);
  }
  std::size_t b = 0;
  while (b < out.size() && IsBlank(out[b])) ++b;
  std::size_t e = out.size();
  while (e > b && IsBlank(out[e - 1])) --e;
  return out.substr(b, e - b);
}

}  // namespace quorvel::mapi
