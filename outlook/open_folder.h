// Opening a folder of the session by its entry id, as markings, undo and the spam
// folder's reference do.
#ifndef QUORVEL_OUTLOOK_OPEN_FOLDER_H_
#define QUORVEL_OUTLOOK_OPEN_FOLDER_H_

#include <memory>
#include <string>

#include "mapi/entry_id.h"
#include "mapi/folder.h"
#include "mapi/session.h"

namespace quorvel::outlook {

// The folder `id` names; null when `id` is absent or names no folder the session opens.
std::shared_ptr<mapi::Folder> OpenFolder(mapi::Session& session, const mapi::EntryId& id);
// The same for an entry id written in hexadecimal (a journal's or a plan's); null when
// `hex` is not one.
std::shared_ptr<mapi::Folder> OpenFolder(mapi::Session& session, const std::string& hex);

}  // namespace quorvel::outlook

#endif  // QUORVEL_OUTLOOK_OPEN_FOLDER_H_
