// Takes HTML back out of its RTF wrapping (the form in which the mail client keeps an
// HTML body inside the compressed RTF body).
#ifndef QUORVEL_CORE_RTF_HTML_H_
#define QUORVEL_CORE_RTF_HTML_H_

#include <cstddef>

namespace quorvel {

// Turns RTF-encapsulated HTML back into HTML, in place and in linear time.
//
// REQUIRES: `buffer` holds `length` bytes and one more writable byte after them.
// The HTML is written from the start of the buffer (the output never overtakes the
// reading position) and terminated with a zero byte; the return value is its length.
// Returns 0 (and writes the zero at buffer[0]) when the text holds no
// "\*\htmltag", i.e. is ordinary RTF rather than encapsulated HTML.
//
// Allocates only when the text holds "\*\mhtmltag" groups (one index per call).
// Thread-safe: touches nothing but the buffer.
std::size_t Deencapsulate(char* buffer, std::size_t length);

}  // namespace quorvel

#endif  // QUORVEL_CORE_RTF_HTML_H_
