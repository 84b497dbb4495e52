// The folders of a profile as the protocol lists them: every folder under the
// namespace's top folders, parents before their children, with its entry id, its name
// in UTF-8, its path of names from the top and how many items it holds.
//
// REQUIRES: called on the user-interface thread (it walks the object model).
#ifndef QUORVEL_HOST_FOLDER_LISTING_H_
#define QUORVEL_HOST_FOLDER_LISTING_H_

#include <vector>

#include "host/object_model.h"
#include "host/protocol.h"

namespace quorvel::host {

// Folders nested deeper than this are left out (a store that loops stays finite).
inline constexpr int kMaxFolderDepth = 32;

std::vector<protocol::FolderEntry> ListFolders(NameSpace& nameSpace);

}  // namespace quorvel::host

#endif  // QUORVEL_HOST_FOLDER_LISTING_H_
