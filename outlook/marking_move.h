// The one move of a marking, and what it tells about each message: its entry id in
// the destination. A store may give a moved message a new id (a Maildir message gets
// a fresh name in its new folder), so the destination's ids are read before and after
// the move and the new ones matched to the moved messages by their Message-ID (or by
// the id itself, where the store kept it).
//
// Threading: the caller's; uses only the folders it is given.
#ifndef QUORVEL_OUTLOOK_MARKING_MOVE_H_
#define QUORVEL_OUTLOOK_MARKING_MOVE_H_

#include <functional>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "mapi/entry_id.h"
#include "mapi/folder.h"
#include "mapi/session.h"
#include "outlook/marking_record.h"

namespace quorvel::outlook {

struct MoveItem {
  mapi::EntryId id;
  std::string messageId;  // "" when it has none
};

// Calls `each` with every row of the folder's contents (`columns`), a batch at a time.
// False when the table could not be read to its end.
bool ForEachRow(mapi::Folder& folder, std::span<const mapi::PropTag> columns,
                const std::function<void(const mapi::Row&)>& each);

// The entry ids of `folder`'s messages by Message-ID (a message the table lists
// without one is read for it; messages without any are left out).
std::multimap<std::string, mapi::EntryId> MessagesById(mapi::Session& session,
                                                       mapi::Folder& folder);

// Moves `items` from `source` into `destination` in one move. The folders' ids and
// path are the caller's to fill in.
MarkingMove MoveAll(mapi::Folder& source, mapi::Folder& destination,
                    const std::vector<MoveItem>& items);

}  // namespace quorvel::outlook

#endif  // QUORVEL_OUTLOOK_MARKING_MOVE_H_
