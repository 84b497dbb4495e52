// Text helpers of the MIME adapter: charset conversion with fallbacks, line ends and
// small searches. Pure functions; thread-safe.
#ifndef QUORVEL_MAPI_MIME_MIME_TEXT_H_
#define QUORVEL_MAPI_MIME_MIME_TEXT_H_

#include <string>
#include <string_view>

namespace quorvel::mapi {

bool IsAscii(std::string_view bytes);
bool IsValidUtf8(std::string_view bytes);

// Bytes in `charset` to ANSI. An empty, unknown or "us-ascii" label (often a lie) falls
// back to UTF-8 when the bytes are valid UTF-8 and to Windows-1252 otherwise. ASCII text
// is returned as it is, without a copy.
std::string BytesToAnsi(std::string bytes, std::string_view charset);

// Every line end (CRLF, lone LF, lone CR) as CRLF.
std::string ToCrlf(std::string_view text);

// The charset an HTML document declares in a <meta> tag near its start, or empty.
std::string SniffHtmlCharset(std::string_view html);

// Finds `needle` in `haystack` ignoring ASCII case. npos when absent or needle empty.
std::size_t FindNoCaseAscii(std::string_view haystack, std::string_view needle,
                            std::size_t from = 0);

// Removes folding (CR and LF) and surrounding blanks from a raw header value.
std::string UnfoldTrim(std::string_view raw);

}  // namespace quorvel::mapi

#endif  // QUORVEL_MAPI_MIME_MIME_TEXT_H_
