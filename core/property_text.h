// Reading text properties of a message, and what "the body" of a message is: the
// HTML kept inside its compressed RTF body, turned into text with content markers,
// else its plain-text body.
//
// The functions read the object they are given on the calling thread; they keep no
// state of their own.
#ifndef QUORVEL_CORE_PROPERTY_TEXT_H_
#define QUORVEL_CORE_PROPERTY_TEXT_H_

#include <cstddef>
#include <string>

#include "mapi/mapi_prop.h"
#include "mapi/result.h"
#include "mapi/stream.h"

namespace quorvel {

// The first read of a stream asks for this many bytes; the buffer doubles while a
// read fills it.
inline constexpr std::size_t kStreamFirstBuffer = 16384;
// A stream is read no further than this (the rest of a larger one is left unread).
inline constexpr std::size_t kStreamMaxBytes = 256u * 1024 * 1024;

// A PT_STRING8 property as text. With `bodyFallbacks` on, PR_BODY is the body text
// (the HTML inside the RTF body as text; if there is none, the plain body; the
// incorrect-HTML marker when the RTF body cannot be read). Any other tag is the
// value as stored. A tag of another type is E_INVALIDARG with empty text; a null
// object fails with empty text. The value is meaningful (possibly empty) on failure.
mapi::Result<std::string> ReadStringProperty(mapi::MapiProp* object, mapi::PropTag tag,
                                             bool bodyFallbacks);

// One property as text: a PT_STRING8 value as it is, a PT_BINARY value byte for byte.
// Read as a value first (except PR_RTF_COMPRESSED); when that fails and `allowStream`
// is set, read through a stream on the property (PR_RTF_COMPRESSED decompressed), so
// that a value too large to be returned whole is still read.
mapi::Result<std::string> ReadPropertyValue(mapi::MapiProp& object, mapi::PropTag tag,
                                            bool allowStream);

// Every byte of `stream` from its position on (up to kStreamMaxBytes). A failed read
// counts as the end.
std::string ReadWholeStream(mapi::Stream& stream);

// The body text of RTF-encapsulated HTML read from the RTF body: de-encapsulated,
// given a body element when it has none, converted to text, all in `rtf`'s buffer
// (`rtf` is consumed). Empty when the RTF holds no HTML.
std::string BodyTextFromRtf(std::string rtf);

}  // namespace quorvel

#endif  // QUORVEL_CORE_PROPERTY_TEXT_H_
