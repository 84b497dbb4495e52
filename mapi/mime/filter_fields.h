// The header fields a pass-through filter adds to a message, and the message's head
// with them in place.
//
// A message passes through byte for byte, except that the added fields stand at the
// top of its header block (after a mailbox file's "From " line, which stays first)
// and that the fields of the names the filter writes (IsReplacedField) are taken out
// of the header block first, with their continuation lines, so that a sender cannot
// forge a verdict. The header block ends at the first empty line, or at the end of
// the bytes when there is none; lines end at LF (a CR before it belongs to the line).
//
// Pure functions; thread-safe.
#ifndef QUORVEL_MAPI_MIME_FILTER_FIELDS_H_
#define QUORVEL_MAPI_MIME_FILTER_FIELDS_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace quorvel::mapi {

// "\r\n" when the message's first line ends with CR LF, else "\n" (also for a message
// of one line without an end).
std::string_view MessageLineEnd(std::string_view message);

// `name: value` as one header field ended by `lineEnd`: control characters in the
// value (UTF-8 text) become blanks, words that are not plain ASCII are RFC 2047
// encoded, and the field is folded at blanks into lines of at most 78 characters where
// the words allow it.
std::string FormatHeaderField(std::string_view name, std::string_view value,
                              std::string_view lineEnd);

// True for the fields the filter writes and therefore removes from a message: every
// "X-Quorvel-" field and "X-Spam-Flag", in any case.
bool IsReplacedField(std::string_view name);

// What goes out before the rest of the message, which follows unchanged.
struct StampedHead {
  std::string head;      // the "From " line, `addedFields`, the header block without
                         // the replaced fields
  std::size_t rest = 0;  // where the unchanged rest of `message` starts (the empty line
                         // that ends the header block, or the end)
};

// `addedFields` must be whole header fields, each ended by the message's line end.
StampedHead StampMessage(std::string_view message, std::string_view addedFields);

}  // namespace quorvel::mapi

#endif  // QUORVEL_MAPI_MIME_FILTER_FIELDS_H_
