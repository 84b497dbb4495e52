// The messages named on a command line, read one at a time:
//   - "-": standard input, one message;
//   - a file: an mbox when its first line starts with "From " (its messages named
//     "FILE:1", "FILE:2", ...), else one message;
//   - a Maildir folder (cur/ or new/): every message file of cur/, then of new/, in
//     name order;
//   - any other folder: every regular file in it is a message, in name order; hidden
//     files are skipped, and sub-folders too unless `recursive` (then each is read as a
//     folder argument would be, after the files).
// Only a Maildir's info flags make a message read or a draft; a message file, an
// mbox message or standard input is neither.
#ifndef QUORVEL_APP_MESSAGE_INPUTS_H_
#define QUORVEL_APP_MESSAGE_INPUTS_H_

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>

#include "mapi/message.h"
#include "platform/file_system.h"

namespace quorvel::app {

struct InputOptions {
  bool recursive = false;
  // What "-" reads: the program's standard input, or inside a host the one its client
  // passed along (`standardInputFd` is its descriptor, -1 when none came).
  std::istream* standardInput = nullptr;  // null: std::cin
  int standardInputFd = 0;
  // Set by the caller (from its visitor) to stop: no further message is read, not even
  // the rest of an mbox.
  const bool* stop = nullptr;
};

// One message as it is read.
struct MessageInput {
  std::string name;                     // the path, "-", or "FILE:N" for an mbox message
  std::optional<std::uint64_t> offset;  // an mbox message: its separator's byte offset
  std::shared_ptr<mapi::Message> message;
  std::string boundsNote;  // what of the message was over an input bound, "" if nothing
};

using MessageVisitor = std::function<void(MessageInput& input)>;
using ProblemSink = std::function<void(const std::string& problem)>;

// Reads every message `arg` names, handing each to `visit` as soon as it is read: an
// mbox is never held whole, only the message being judged. What cannot be read (a
// path that does not exist, a message file that fails, damage in an mbox) goes to
// `problem`, one line each without the program's name, and the rest is still read: a
// loop of symbolic links, a permission error and a folder that cannot be listed each
// say so, and a closed standard input is a problem, not an empty message. Standard
// input is read up to the message bound (mapi/mime/input_bounds.h), no further.
// Returns the number of problems.
int ReadMessageInput(const std::string& arg, const InputOptions& options,
                     const MessageVisitor& visit, const ProblemSink& problem,
                     platform::FileSystem& files = platform::RealFileSystem());

}  // namespace quorvel::app

#endif  // QUORVEL_APP_MESSAGE_INPUTS_H_
