// A plain rendering of an HTML body, for the text body of mail that has only HTML:
// tags dropped, the content of head, style, script and comments dropped, blocks and
// line breaks as CRLF, runs of blanks as one, character references decoded into the
// ANSI code page ('?' where it has no such character). Thread-safe (pure function).
#ifndef QUORVEL_MAPI_MIME_HTML_PLAIN_H_
#define QUORVEL_MAPI_MIME_HTML_PLAIN_H_

#include <string>
#include <string_view>

namespace quorvel::mapi {

std::string HtmlToPlainText(std::string_view html);

}  // namespace quorvel::mapi

#endif  // QUORVEL_MAPI_MIME_HTML_PLAIN_H_
