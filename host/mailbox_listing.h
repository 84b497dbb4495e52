// Listings of the profile's folders and of a folder's messages, as plain rows for the
// commands and the protocol's typed requests to print. Every name in them is one the
// message locator takes back (message_locator.h, folder_path.h).
//
// Both stream: a row is handed to the caller as soon as it is read and let go before
// the next, and the messages of a folder are read from its contents table one batch
// at a time (contents_rows.h), so the listing holds one batch, not the folder.
//
// Threading: as the locator's (the namespace's objects over its session).
#ifndef QUORVEL_HOST_MAILBOX_LISTING_H_
#define QUORVEL_HOST_MAILBOX_LISTING_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "host/object_model.h"
#include "host/outcome.h"

namespace quorvel::host {

struct FolderRow {
  std::string path;     // "Inbox/Spam" (folder_path.h), UTF-8
  std::string entryId;  // hexadecimal
  int depth = 0;        // 0 for a top folder
  std::int32_t itemCount = 0;
  std::int32_t unreadCount = 0;
  int defaultItemType = olMailItem;  // OlItemType
  // Which default folder it is: "inbox", "outbox", "sent", "deleted", "drafts",
  // "contacts", or "junk" for the store's own junk folder; "" for any other.
  std::string special;
};

struct ItemRow {
  std::string name;     // what the locator takes: file, FOLDER/UIDVALIDITY.UID or entry id
  std::string entryId;  // hexadecimal
  std::string senderName, senderAddress, subject;  // UTF-8
  std::uint64_t received = 0;                      // file time; 0 when unknown
  bool read = false;
  std::int64_t size = -1;  // bytes; -1 when unknown
};

// Every folder of the profile, depth-first, parents before children, in the stores'
// and folders' own order. `each` returns false to stop.
Outcome ListFolders(NameSpace& nameSpace, const std::function<bool(const FolderRow&)>& each);

// The messages of `folder` in its contents table's order, from row `skip` on, at most
// `limit` of them (0: all). `each` returns false to stop. not-found when the folder
// is gone. With `total`, how many messages the folder holds goes there, counted from
// the same listing (a page of a large folder lists its folder once, not twice). With
// `kept`, the contents table read (ForEachContentsRow: kept until the next page of the
// folder, the next page need not list it again).
Outcome ListItems(NameSpace& nameSpace, MAPIFolder& folder, std::uint32_t skip, std::uint32_t limit,
                  const std::function<bool(const ItemRow&)>& each, std::uint32_t* total = nullptr,
                  std::shared_ptr<mapi::Table>* kept = nullptr);

}  // namespace quorvel::host

#endif  // QUORVEL_HOST_MAILBOX_LISTING_H_
