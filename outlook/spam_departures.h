// FindDepartures: where messages that left the spam folder without the store telling
// of it went (another IMAP client moved them: the store hears of new mail in the
// Inbox only). The folders of the spam folder's store are asked, each once for all
// the Message-IDs, with a restriction on PR_INTERNET_MESSAGE_ID that an IMAP store
// answers with a SEARCH (nothing else of the folder is read). Left out: the spam
// folder, the Inbox (an arrival there is seen as new mail and tells the move itself),
// Sent Items, and Deleted Items (a message deleted is no verdict on it).
//
// At most kMaxDepartureFolders folders are asked, kMaxFolderDepth levels deep.
// Thread-safety: as the session's objects; holds no state.
#ifndef QUORVEL_OUTLOOK_SPAM_DEPARTURES_H_
#define QUORVEL_OUTLOOK_SPAM_DEPARTURES_H_

#include <map>
#include <string>
#include <vector>

#include "mapi/entry_id.h"
#include "mapi/session.h"

namespace quorvel::outlook {

inline constexpr std::size_t kMaxDepartureFolders = 500;

struct Departure {
  mapi::EntryId folder;   // where the message is now
  mapi::EntryId message;  // its entry id there
};

// Message-ID -> where it was found (the first folder that holds it); the Message-IDs
// found nowhere are missing.
std::map<std::string, Departure> FindDepartures(mapi::Session& session,
                                                const mapi::EntryId& spamFolder,
                                                const std::vector<std::string>& messageIds);

}  // namespace quorvel::outlook

#endif  // QUORVEL_OUTLOOK_SPAM_DEPARTURES_H_
