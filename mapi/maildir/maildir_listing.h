// The message files of a Maildir folder as they lie on disk: the one place that
// lists cur/ and new/, for the store and for commands that read a folder by path.
#ifndef QUORVEL_MAPI_MAILDIR_MAILDIR_LISTING_H_
#define QUORVEL_MAPI_MAILDIR_MAILDIR_LISTING_H_

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"

namespace quorvel::mapi {

// The names of the files (a link counts when it leads to a file) in `folder`/`sub`
// ("cur" or "new") that do not start with '.', in name order; the listing's failure
// when the subfolder cannot be listed (*names is then empty).
platform::FileStatus ListMaildirFiles(platform::FileSystem& files, const std::string& folder,
                                      const char* sub, std::vector<std::string>* names);

// Each message file of `folder`'s new/ and then cur/ (named as ListMaildirFiles
// takes them) handed to `visit` as it is read, with its unique part (the name up to
// ':'); nothing of the listing is kept. A subfolder that cannot be listed has none.
using MaildirFileVisit =
    std::function<void(const char* sub, std::string_view fileName, std::string_view unique)>;
void VisitMaildirFiles(platform::FileSystem& files, const std::string& folder,
                       const MaildirFileVisit& visit);

}  // namespace quorvel::mapi

#endif  // QUORVEL_MAPI_MAILDIR_MAILDIR_LISTING_H_
