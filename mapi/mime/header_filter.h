// Internal to mapi/mime: drops the top-level header fields the adapter never reads
// before GMime sees a message.
//
// GMime builds an object, with a change signal, for every header field, and tears it
// down again: for mail with long Received chains that is about a third of the whole
// judging time. Only the fields the parser reads (header_fields.h) are kept; the
// header block as a whole is kept separately, from the original bytes.
//
// The block is filtered only when every line of it is plainly well-formed (a field
// name of letters, digits, '-' and '_' directly followed by a colon, or a continuation line,
// each ended by LF or CR LF, no NUL or stray CR; a mailbox file's "From " line may
// come first and stays) and ends with an empty line, and
// only when at least one field is kept and one dropped. Anything unusual is left for
// GMime to judge on the bytes as they came. Thread-safe.
#ifndef QUORVEL_MAPI_MIME_HEADER_FILTER_H_
#define QUORVEL_MAPI_MIME_HEADER_FILTER_H_

#include <cstddef>
#include <string>
#include <string_view>

#include "mapi/mime/mime_parse.h"

namespace quorvel::mapi {

struct HeaderFilterResult {
  bool filtered = false;
  std::size_t size = 0;             // the buffer's length afterwards
  std::string originalHeaders;      // when filtered: the block as it was, with its empty line
  std::size_t keptHeaderBytes = 0;  // when filtered: the new block's length, empty line included
};

// Compacts the kept fields and the rest of the message to the front of `data`.
HeaderFilterResult DropUnreadHeaders(char* data, std::size_t size);

// ParseMime (mime_parse.h) with every header field handed to GMime: the same result,
// only slower. For checking that the filter drops nothing the parse reads.
MimeMessage ParseMimeWithEveryHeaderField(std::string_view bytes);

}  // namespace quorvel::mapi

#endif  // QUORVEL_MAPI_MIME_HEADER_FILTER_H_
