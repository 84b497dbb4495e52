// The message files of a Maildir folder as they lie on disk: the one place that
// lists cur/ and new/, for the store and for commands that read a folder by path.
#ifndef QUORVEL_MAPI_MAILDIR_MAILDIR_LISTING_H_
#define QUORVEL_MAPI_MAILDIR_MAILDIR_LISTING_H_

#include <string>
#include <vector>

#include "platform/file_system.h"

namespace quorvel::mapi {

// Whether `folder` has a cur/ or a new/ subfolder.
bool IsMaildirFolder(platform::FileSystem& files, const std::string& folder);

// The names of the files (a link counts when it leads to a file) in `folder`/`sub`
// ("cur" or "new") that do not start with '.', in name order; none when the subfolder
// cannot be listed.
std::vector<std::string> MaildirFileNames(platform::FileSystem& files, const std::string& folder,
                                          const char* sub);

}  // namespace quorvel::mapi

#endif  // QUORVEL_MAPI_MAILDIR_MAILDIR_LISTING_H_
