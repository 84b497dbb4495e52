// SpamReturns: the Message-IDs of the messages the host moved into the spam folder (the
// worker's moves and a Junk marking's), so that one the user takes back out of it is
// not judged again.
//
// A message taken back by a rename keeps being reported as a move; a message taken
// back as a copy (a mail program that writes a new file into the Inbox and deletes the
// one in the spam folder) arrives as a new message. Such an arrival is a return when
// its Message-ID is one the worker moved into the spam folder and no message of the
// spam folder carries it any more; the same spam delivered a second time, while the
// first still lies in the spam folder, is judged as usual.
//
// The last kCapacity Message-IDs are kept. With a record file ("spam-moves" in the
// data folder) they are kept across runs as well: each is appended as a line when the
// worker notes it, and the record is read when the object is made (and written again,
// atomically, with the last kCapacity only, once it has grown to twice that). So a
// message the user takes back out of the spam folder while no host runs (a plain mv)
// is still known as a return at the next start.
//
// Thread-safety: every member may be called from any thread (the worker's and a
// marking's); mutex_ guards the Message-IDs and the appends. Several processes may
// append to one record: each call's lines are one append.
#ifndef QUORVEL_OUTLOOK_SPAM_RETURNS_H_
#define QUORVEL_OUTLOOK_SPAM_RETURNS_H_

#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <unordered_set>
#include <vector>

#include "mapi/folder.h"
#include "platform/file_system.h"

namespace quorvel::outlook {

inline constexpr const char* kSpamMovesFileName = "spam-moves";

class SpamReturns {
 public:
  static constexpr std::size_t kCapacity = 10000;

  // In memory only.
  SpamReturns() = default;
  // Kept in the record at `recordPath` too ("" for none); `files` must outlive this.
  SpamReturns(platform::FileSystem& files, std::string recordPath);

  // The worker moved the message with this Message-ID into the spam folder ("" is
  // ignored); appended to the record (a failed write is not retried: only a return
  // made while no host runs would then be judged again).
  void NoteMoved(const std::string& messageId);
  // The same for several, appended to the record in one write.
  void NoteMoved(const std::vector<std::string>& messageIds);
  // Whether a message with `messageId` arriving elsewhere is one taken back out of
  // `spamFolder`: moved there by the worker and not in it now.
  bool IsReturn(const std::string& messageId, mapi::Folder& spamFolder) const;
  std::size_t size() const;

 private:
  mutable std::mutex mutex_;
  std::unordered_set<std::string> ids_;  // guarded by mutex_
  std::deque<std::string> order_;        // oldest first; guarded by mutex_
  platform::FileSystem* files_ = nullptr;
  std::string recordPath_;
  bool torn_ = false;  // the record ends in a line cut short; guarded by mutex_
};

}  // namespace quorvel::outlook

#endif  // QUORVEL_OUTLOOK_SPAM_RETURNS_H_
