// Names in an IMAP store: entry identifiers, mailbox names and the keywords that keep
// a message's own properties.
//
// Entry identifiers (byte strings): "QVIM", a kind byte ('S' store, 'F' folder,
// 'M' message), the 8-byte store key (a hash of "user@host:port", so ids survive
// restarts), then for a folder its mailbox name and for a message the mailbox's
// UIDVALIDITY and the message's UID (4 bytes each, big-endian) and the mailbox name.
// A message id names one message for as long as its mailbox keeps its UIDVALIDITY;
// after the server changes it, old ids are not found rather than naming other mail.
//
// Mailbox names are the server's (modified UTF-7); the Inbox is always "INBOX".
//
// Kept properties: a message's PT_LONG, PT_BOOLEAN, PT_I8 and PT_SYSTIME properties
// are keywords "$QvP_<tag, 8 hex digits>_<decimal value>", and short PT_STRING8 and
// PT_BINARY values "$QvP_<tag>_x<hex bytes>", so they travel with the message when it
// is moved or copied on the server, whichever client moves it.
//
// Pure functions, thread-safe.
#ifndef QUORVEL_MAPI_IMAP_IMAP_NAMES_H_
#define QUORVEL_MAPI_IMAP_IMAP_NAMES_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mapi/entry_id.h"
#include "mapi/prop_value.h"

namespace quorvel::mapi::imap {

using StoreKey = std::uint64_t;

StoreKey MakeStoreKey(std::string_view accountName);
EntryId StoreIdOf(StoreKey key);
EntryId FolderIdOf(StoreKey key, std::string_view mailbox);
EntryId MessageIdOf(StoreKey key, std::string_view mailbox, std::uint32_t uidValidity,
                    std::uint32_t uid);

struct DecodedId {
  char kind = 0;  // 'S', 'F' or 'M'
  StoreKey key = 0;
  std::string mailbox;
  std::uint32_t uidValidity = 0;  // messages only
  std::uint32_t uid = 0;          // messages only
};
std::optional<DecodedId> DecodeId(std::string_view bytes);

// "INBOX" in any case becomes "INBOX"; other names stay as they are.
std::string NormalizeMailbox(std::string_view name);

// Modified UTF-7 (mailbox names) to UTF-8 and back (platform/mailbox_name.h). A name
// that is no modified UTF-7 reads as its UTF-8 (a server that sends UTF-8 names);
// text that is no UTF-8 is kept as it is.
std::string MailboxToUtf8(std::string_view name);
std::string Utf8ToMailbox(std::string_view utf8);

// The keyword of one property, or nothing for a value that cannot be one.
std::optional<std::string> PropKeyword(const PropValue& value);
// The property a keyword holds; nothing for other keywords.
std::optional<PropValue> KeywordProp(std::string_view keyword);
bool IsPropKeyword(std::string_view keyword);

}  // namespace quorvel::mapi::imap

#endif  // QUORVEL_MAPI_IMAP_IMAP_NAMES_H_
