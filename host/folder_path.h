// Folder paths: how the command line and the listings name a folder of the profile.
// A path is the folder's name and those of its parents, top folder first, joined with
// "/" ("Inbox", "Inbox/Spam"); a "/" or "\" inside a name is written "\/" or "\\".
// Names compare case-insensitively, as the mail client's folder names do. A path
// whose first name is no top folder is taken under the Inbox ("Spam" is
// "Inbox/Spam"), so the folders of a Maildir, which all live under its Inbox, can be
// named as their directories are. Paths are UTF-8 text (the command line's) and the
// names in them the folders' names in any script (MAPIFolder::NameUtf8); they compare
// by Unicode case folding, so "Пожалуйста" finds a folder the ANSI code page cannot name.
//
// Threading: the folder objects hold ids and open the mail-store session on each
// call, so these may run on any thread that may use the namespace's session.
#ifndef QUORVEL_HOST_FOLDER_PATH_H_
#define QUORVEL_HOST_FOLDER_PATH_H_

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "host/object_model.h"
#include "host/outcome.h"

namespace quorvel::host {

// The names of a path, unescaped; nothing for "" (the empty path names no folder).
std::vector<std::string> SplitFolderPath(std::string_view path);
// The path of these names, escaped.
std::string JoinFolderPath(const std::vector<std::string>& names);

// The folder a path names: not-found (saying which name is missing) or ok.
Outcome FindFolderByPath(NameSpace& nameSpace, std::string_view path,
                         std::shared_ptr<MAPIFolder>* folder);

// The path of a folder, found by walking up its parents.
std::string FolderPathOf(MAPIFolder& folder);

}  // namespace quorvel::host

#endif  // QUORVEL_HOST_FOLDER_PATH_H_
