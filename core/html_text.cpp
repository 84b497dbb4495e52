#include "core/html_text.h"

#include <algorithm>
#include <cstring>

#include "core/content_markers.h"

namespace quorvel {
namespace {

//   document:  "body" -> blank, then body table     "/html" -> end
//   body:      "/body" -> end   "p" -> \n\n   "br" -> \n   "/div" -> \n
//              "img " -> image outside a link   "a " -> link
//   link:      "/a" -> end      "p" -> \n\n   "br" -> \n
//              "img " -> image inside a link    "a " -> inner link
// "p" matches every tag that begins with p (pre, param, ...), "br" every tag that
// begins with br; the blanks in "img " and "a " are part of the prefix.
constexpr TagEntry kDocumentEntries[] = {
    {"body", TagAction::kBody},
    {"/html", TagAction::kEnd},
};
constexpr TagEntry kBodyEntries[] = {
    {"/body", TagAction::kEnd},
    {"p", TagAction::kTwoLineFeeds},
    {"br", TagAction::kOneLineFeed},
    {"/div", TagAction::kOneLineFeed},
    {"img ", TagAction::kImageOutsideLink},
    {"a ", TagAction::kLink},
};
constexpr TagEntry kLinkEntries[] = {
    {"/a", TagAction::kEnd},         {"p", TagAction::kTwoLineFeeds},
    {"br", TagAction::kOneLineFeed}, {"img ", TagAction::kImageInsideLink},
    {"a ", TagAction::kLink},
};

constexpr std::string_view kImageSource = "src=\"";
constexpr std::string_view kLinkAddress = "href=\"";
constexpr std::string_view kEmbeddedScheme = "cid";

bool IsWhite(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

char* FindIn(char* begin, char* end, std::string_view needle) {
  std::string_view hay(begin, static_cast<std::size_t>(end - begin));
  std::size_t at = hay.find(needle);
  return at == std::string_view::npos ? nullptr : begin + at;
}

char* FindChar(char* begin, char* end, char c) {
  return static_cast<char*>(std::memchr(begin, c, static_cast<std::size_t>(end - begin)));
}

const TagEntry* Match(TagTable table, const char* tag, const char* tagEnd) {
  const auto size = static_cast<std::size_t>(tagEnd - tag);
  for (const TagEntry& entry : table) {
    if (entry.prefix.size() <= size &&
        std::memcmp(tag, entry.prefix.data(), entry.prefix.size()) == 0) {
      return &entry;
    }
  }
  return nullptr;
}

void Write(char*& out, std::string_view text) {
  std::memmove(out, text.data(), text.size());
  out += text.size();
}

// The tag text [tag, tagEnd) is already lower-cased. The decision is taken before
// writing: the marker may overwrite the tag's own text.
void RunImage(char*& out, char* tag, char* tagEnd, bool insideLink) {
  char* source = FindIn(tag, tagEnd, kImageSource);
  if (source == nullptr) return;
  char* value = source + kImageSource.size();
  bool embedded = static_cast<std::size_t>(tagEnd - value) >= kEmbeddedScheme.size() &&
                  std::memcmp(value, kEmbeddedScheme.data(), kEmbeddedScheme.size()) == 0;
  std::string_view marker = !embedded    ? kMarkerInternetImage
                            : insideLink ? kMarkerLinkedEmbeddedImage
                                         : kMarkerEmbeddedImage;
  Write(out, " ");
  Write(out, marker);
}

WalkResult Walk(HtmlCursor& c, TagTable table, bool copyText, int depth);

// Writes " address " in place of the tag, walks the link's content and keeps the
// address only when the content had text; a link around nothing but an image (or
// nothing at all) leaves blanks.
WalkResult RunLink(HtmlCursor& c, char* tag, char* tagEnd, int depth) {
  char* addressStart = c.out;
  if (char* href = FindIn(tag, tagEnd, kLinkAddress)) {
    char* value = href + kLinkAddress.size();
    if (char* quote = FindChar(value, tagEnd, '"')) {
      // The output lies at or before the "<", the address at least nine bytes after
      // it, so the copy never overtakes what it reads.
      Write(c.out, " ");
      Write(c.out, std::string_view(value, static_cast<std::size_t>(quote - value)));
      Write(c.out, " ");
    }
  }
  char* addressEnd = c.out;
  if (depth >= kMaxLinkDepth) return WalkResult::kEndOfInput;
  WalkResult result = Walk(c, kLinkTags, true, depth + 1);
  if (result != WalkResult::kEndedWithText) {
    std::memset(addressStart, ' ', static_cast<std::size_t>(addressEnd - addressStart));
  }
  return result;
}

WalkResult Walk(HtmlCursor& c, TagTable table, bool copyText, int depth) {
  if (c.in >= c.end) return WalkResult::kEndOfInput;
  bool copied = false;
  for (;;) {
    char* lt = FindChar(c.in, c.end, '<');
    char* segmentEnd = lt != nullptr ? lt : c.end;
    char* tag = nullptr;
    char* tagEnd = nullptr;
    char* next = c.end;
    if (lt != nullptr) {
      tag = lt + 1;
      char* gt = FindChar(tag, c.end, '>');
      tagEnd = gt != nullptr ? gt : c.end;
      next = gt != nullptr ? gt + 1 : c.end;
      for (char* p = tag; p < tagEnd; ++p) *p = LowerAscii(*p);
    }
    if (copyText && CopyText(c.out, c.in, segmentEnd)) copied = true;
    c.in = next;

    if (tag != nullptr) {
      if (const TagEntry* entry = Match(table, tag, tagEnd)) {
        WalkResult inner = WalkResult::kEndedNoText;
        switch (entry->action) {
          case TagAction::kEnd:
            return copied ? WalkResult::kEndedWithText : WalkResult::kEndedNoText;
          case TagAction::kBody:
            Write(c.out, " ");
            inner = Walk(c, kBodyTags, true, depth);
            break;
          case TagAction::kTwoLineFeeds:
            Write(c.out, "\n\n");
            break;
          case TagAction::kOneLineFeed:
            Write(c.out, "\n");
            break;
          case TagAction::kImageOutsideLink:
            RunImage(c.out, tag, tagEnd, false);
            break;
          case TagAction::kImageInsideLink:
            RunImage(c.out, tag, tagEnd, true);
            break;
          case TagAction::kLink:
            inner = RunLink(c, tag, tagEnd, depth);
            break;
        }
        if (inner == WalkResult::kEndOfInput) return WalkResult::kEndOfInput;
        if (inner == WalkResult::kEndedWithText) copied = true;
      }
    }
    if (c.in >= c.end) return WalkResult::kEndOfInput;
  }
}

}  // namespace

const TagTable kDocumentTags{kDocumentEntries};
const TagTable kBodyTags{kBodyEntries};
const TagTable kLinkTags{kLinkEntries};

bool CopyText(char*& out, char* begin, char* end) {
  bool wrote = false;
  bool blankBefore = false;  // white space (or a character reference) before the word
  char* p = begin;
  while (p < end) {
    if (*p == '&') {
      char* semicolon = FindChar(p, end, ';');
      p = semicolon != nullptr ? semicolon + 1 : end;
      blankBefore = true;
    } else if (IsWhite(*p)) {
      ++p;
      blankBefore = true;
    } else {
      if (blankBefore) *out++ = ' ';
      blankBefore = false;
      while (p < end && *p != '&' && !IsWhite(*p)) *out++ = *p++;
      wrote = true;
    }
  }
  return wrote;
}

WalkResult WalkTags(HtmlCursor& cursor, TagTable table, bool copyText) {
  return Walk(cursor, table, copyText, 0);
}

std::size_t HtmlToText(char* buffer, std::size_t length) {
  HtmlCursor c{buffer, buffer, buffer + length};
  const bool beganWithTag = length > 0 && buffer[0] == '<';
  WalkResult result = Walk(c, kDocumentTags, false, 0);
  if (result == WalkResult::kEndOfInput || (c.out == buffer && beganWithTag)) {
    std::size_t n = std::min(kMarkerIncorrectHtml.size(), length);
    std::memcpy(buffer, kMarkerIncorrectHtml.data(), n);
    buffer[n] = '\0';
    return n;
  }
  *c.out = '\0';
  return static_cast<std::size_t>(c.out - buffer);
}

}  // namespace quorvel
