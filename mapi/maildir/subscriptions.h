// The subscriptions of a Maildir that an IMAP server (Dovecot) serves: the file
// "<root>/subscriptions", one folder name a line. IMAP clients show only subscribed
// folders, so a folder the store makes is subscribed, as a client subscribes the
// folder it creates.
//
// Dovecot writes two forms: plain names with "." between levels, or a first line
// "V\t2", an empty line, then names with a tab between levels. A file is kept in the
// form it has; a new file is written in the plain form, which every version reads.
//
// Pure functions over files; the file is replaced atomically.
#ifndef QUORVEL_MAPI_MAILDIR_SUBSCRIPTIONS_H_
#define QUORVEL_MAPI_MAILDIR_SUBSCRIPTIONS_H_

#include <string>

#include "platform/file_system.h"

namespace quorvel::mapi {

// Adds `folderPath` ("A.B") to the subscriptions of the Maildir at `root` unless it is
// there. False when the file cannot be read or written.
bool SubscribeFolder(platform::FileSystem& files, const std::string& root,
                     const std::string& folderPath);

}  // namespace quorvel::mapi

#endif  // QUORVEL_MAPI_MAILDIR_SUBSCRIPTIONS_H_
