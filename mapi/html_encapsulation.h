// RTF bodies as the mail client writes them: HTML encapsulated in RTF, and plain RTF
// made from a text body. Used by message backends and tests to fill PR_RTF_COMPRESSED.
#ifndef QUORVEL_MAPI_HTML_ENCAPSULATION_H_
#define QUORVEL_MAPI_HTML_ENCAPSULATION_H_

#include <string>
#include <string_view>

namespace quorvel::mapi {

// RTF that carries `html` (ANSI bytes): an "\rtf1\ansi\fbidis\ansicpg1252\deff0
// \fromhtml1" header, every tag, comment and declaration in a "{\*\htmltagN ...}"
// group, text between tags as plain runs, line breaks as "\par", bytes from 0x80 as
// "\'hh", and "{", "}" and "\" escaped. The text runs read back as the HTML's text.
std::string EncapsulateHtml(std::string_view html);

// Plain RTF of a text body (no HTML inside): one "\par" per line (CRLF, LF or CR),
// tabs as "\tab", special characters escaped as above.
std::string PlainTextToRtf(std::string_view text);

}  // namespace quorvel::mapi

#endif  // QUORVEL_MAPI_HTML_ENCAPSULATION_H_
