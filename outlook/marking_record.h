// MarkingRecord: what one marking of messages as Good or Junk e-mail changed, as the
// marking routine (marking.h) returns it: the messages it learned, the entries it
// added to and removed from each list, and the one move with every message's entry
// id before and after it. It is enough to write the marking down and to reverse it.
//
// Plain data; entry ids are hexadecimal text, as the object model and the listings
// print them.
#ifndef QUORVEL_OUTLOOK_MARKING_RECORD_H_
#define QUORVEL_OUTLOOK_MARKING_RECORD_H_

#include <cstdint>
#include <string>
#include <vector>

#include "bayes/learned_counts.h"
#include "lists/list_edit.h"

namespace quorvel::outlook {

enum class MarkingMode {
  kGood,
  kJunk,
  kGoodWithDomain,  // good, adding the senders' whole domains to the White List
};

// One message learned into the pending counts (Learn with `weight`, forced).
struct LearnedMessage {
  std::string entryId;    // before any move
  std::string messageId;  // its Message-ID, "" when it has none
  bool junk = false;
  std::int32_t weight = 0;
};

// One message of the move.
struct MovedMessage {
  std::string before;     // entry id in the source folder
  std::string after;      // entry id in the destination; "" when it was not found there
  std::string messageId;  // "" when it has none
};

struct MarkingMove {
  std::string sourceFolder;  // entry ids of the folders
  std::string destinationFolder;
  std::string destinationPath;  // the friendly path the confirmation showed
  // Whether the store moved every message (false: some stayed where they were; their
  // `after` is empty).
  bool complete = false;
  std::vector<MovedMessage> messages;
};

struct MarkingRecord {
  MarkingMode mode = MarkingMode::kGood;
  bool quiet = false;  // asked nothing (a message the user moved)
  std::string folder;  // entry id of the folder the messages were marked in
  std::vector<LearnedMessage> learned;
  LearnedCounts counts;  // what the learning added, token by token (to take it back)
  // What the marking changed in each list (the pattern lists never change).
  ListChange whiteList;
  ListChange blackList;
  ListChange safeRecipients;
  bool moved = false;  // `move` holds the move
  MarkingMove move;
  bool rebuildRequested = false;
  // Whether the marking did anything at all (false for an empty selection, a folder
  // that is not mail, a core that is not started).
  bool ran = false;
};

}  // namespace quorvel::outlook

#endif  // QUORVEL_OUTLOOK_MARKING_RECORD_H_
