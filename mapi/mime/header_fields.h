// Internal to mapi/mime: the one table of the top-level header fields the parser
// reads.
//
// mime_parse.cpp acts on a field only through FindHeaderField, and the header filter
// (header_filter.h) keeps exactly the fields this table names before GMime sees a
// message. A field the parser starts reading is added here, and is then both read
// and kept; a field missing here is neither, so the two cannot disagree.
//
// Pure functions; thread-safe.
#ifndef QUORVEL_MAPI_MIME_HEADER_FIELDS_H_
#define QUORVEL_MAPI_MIME_HEADER_FIELDS_H_

#include <string_view>

namespace quorvel::mapi {

enum class HeaderField {
  kUnread,  // not in the table: the filter drops it
  kSubject,
  kFrom,  // From, To, Cc and Bcc also through GMime's parsed address lists
  kTo,
  kCc,
  kBcc,
  kDeliveredTo,
  kXOriginalTo,
  kMessageId,
  kDate,         // through GMime's parsed date
  kMimeVersion,  // GMime's parser looks for it
  kContent,      // every "Content-*" field: type, disposition, transfer encoding, id, location
};

// The field a header name (in any case) stands for; kUnread for every other name.
HeaderField FindHeaderField(std::string_view name);

}  // namespace quorvel::mapi

#endif  // QUORVEL_MAPI_MIME_HEADER_FIELDS_H_
