// The marker words that the body text carries where images and malformed HTML were
// found. The predefined rules search the text for them; the tokenizer drops the three
// image markers before counting.
#ifndef QUORVEL_CORE_CONTENT_MARKERS_H_
#define QUORVEL_CORE_CONTENT_MARKERS_H_

#include <string_view>

namespace quorvel {

// An embedded image (source "cid:...") inside a link.
inline constexpr std::string_view kMarkerLinkedEmbeddedImage = "arbr1cd0";
// An image fetched from the Internet (source not "cid:..."), inside a link or not.
inline constexpr std::string_view kMarkerInternetImage = "arbr2cd0";
// An embedded image outside any link.
inline constexpr std::string_view kMarkerEmbeddedImage = "arbr3cd0";
// HTML that is not well closed, or an RTF body that cannot be read; replaces the
// whole text.
inline constexpr std::string_view kMarkerIncorrectHtml = "arbr4cd0";

}  // namespace quorvel

#endif  // QUORVEL_CORE_CONTENT_MARKERS_H_
