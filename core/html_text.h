// Turns the HTML of a message body into the plain text that the rules and the
// Bayesian filter read: only what stands inside the body element, paragraph and line
// breaks, the address of every link that has visible text, and a marker word for
// every image (content_markers.h). A document whose structure is not closed becomes
// the incorrect-HTML marker as a whole.
//
// Everything works in place in the buffer that holds the HTML, in linear time and
// without allocation. Tag text (attribute values included) is lower-cased in place,
// ASCII letters only. Thread-safe: touches nothing but the buffer.
#ifndef QUORVEL_CORE_HTML_TEXT_H_
#define QUORVEL_CORE_HTML_TEXT_H_

#include <cstddef>
#include <span>
#include <string_view>

namespace quorvel {

// Converts the HTML in buffer[0, length) to text, in place.
// REQUIRES: buffer[length] is writable (it receives the terminating zero if the text
// is as long as the HTML). The text is written from the start of the buffer and
// terminated with a zero; returns its length.
std::size_t HtmlToText(char* buffer, std::size_t length);

// ---- The pieces of the conversion, exposed for tests. ----

// Reading and writing positions in one buffer. Invariant: out <= in <= end.
struct HtmlCursor {
  char* out;
  char* in;
  char* end;
};

enum class WalkResult {
  kEndedNoText = 0,    // an end entry was reached, no text copied on the way
  kEndedWithText = 1,  // an end entry was reached, some text copied
  kEndOfInput = 2,     // the input ran out first (or links nest too deeply)
};

enum class TagAction {
  kEnd,   // ends the walk of the table
  kBody,  // a blank, then the body table (text copied)
  kTwoLineFeeds,
  kOneLineFeed,
  kImageOutsideLink,
  kImageInsideLink,
  kLink,  // the address, then the link table (text copied)
};

// A tag is matched by the beginning of its lower-cased text; the first entry whose
// prefix matches wins; a tag that matches none is ignored.
struct TagEntry {
  std::string_view prefix;
  TagAction action;
};
using TagTable = std::span<const TagEntry>;

extern const TagTable kDocumentTags;
extern const TagTable kBodyTags;
extern const TagTable kLinkTags;

// Links nested deeper than this end the conversion as malformed HTML (kEndOfInput).
inline constexpr int kMaxLinkDepth = 200;

// Walks tags from cursor.in, acting on those in `table`, until an end entry or the end
// of the input; copies the text between tags when `copyText` is set.
WalkResult WalkTags(HtmlCursor& cursor, TagTable table, bool copyText);

// Copies one text segment [begin, end) to `out` (out <= begin): character references
// ("&" to the next ";", or to the end of the segment) become blanks, runs of white
// space become one blank (none at the end). Advances `out`; returns whether any word
// was written.
bool CopyText(char*& out, char* begin, char* end);

}  // namespace quorvel

#endif  // QUORVEL_CORE_HTML_TEXT_H_
