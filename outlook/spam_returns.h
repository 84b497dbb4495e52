// SpamReturns: the Message-IDs of the messages the worker moved into the spam folder,
// so that one the user takes back out of it is not judged again.
//
// A message taken back by a rename keeps being reported as a move; a message taken
// back as a copy (a mail program that writes a new file into the Inbox and deletes the
// one in the spam folder) arrives as a new message. Such an arrival is a return when
// its Message-ID is one the worker moved into the spam folder and no message of the
// spam folder carries it any more; the same spam delivered a second time, while the
// first still lies in the spam folder, is judged as usual.
//
// The last kCapacity Message-IDs are kept, in memory only.
//
// Thread-safety: none; the worker's thread alone uses it.
#ifndef QUORVEL_OUTLOOK_SPAM_RETURNS_H_
#define QUORVEL_OUTLOOK_SPAM_RETURNS_H_

#include <cstddef>
#include <deque>
#include <string>
#include <unordered_set>

#include "mapi/folder.h"

namespace quorvel::outlook {

class SpamReturns {
 public:
  static constexpr std::size_t kCapacity = 10000;

  // The worker moved the message with this Message-ID into the spam folder ("" is
  // ignored).
  void NoteMoved(const std::string& messageId);
  // Whether a message with `messageId` arriving elsewhere is one taken back out of
  // `spamFolder`: moved there by the worker and not in it now.
  bool IsReturn(const std::string& messageId, mapi::Folder& spamFolder) const;
  std::size_t size() const { return order_.size(); }

 private:
  std::unordered_set<std::string> ids_;
  std::deque<std::string> order_;  // oldest first
};

}  // namespace quorvel::outlook

#endif  // QUORVEL_OUTLOOK_SPAM_RETURNS_H_
