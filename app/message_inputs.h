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
#include <memory>
#include <optional>
#include <string>

#include "mapi/message.h"

namespace quorvel::app {

struct InputOptions {
  bool recursive = false;
};

<<<<<<< HEAD
// Expands one argument, appending to *out: a file or "-" as itself, a Maildir folder
// as its message files. Returns false, with the reason in *error, for a path that does
// not exist or cannot be looked at (a loop of symbolic links, no permission), a folder
// that is not a Maildir folder, or a Maildir whose cur/ or new/ cannot be read; the
// messages of the one that could be read are still appended.
bool ExpandMessageInput(const std::string& arg, std::vector<MessageInput>* out, std::string* error);

// Opens one input as a read-only message. On failure returns null and sets *error
// (standard input closed or unreadable, a file that cannot be read). *boundsNote,
// when given, says what of a message over the input bounds was left out.
std::shared_ptr<mapi::Message> OpenMessageInput(const MessageInput& input, std::string* error,
                                                std::string* boundsNote = nullptr);
=======
// One message as it is read.
struct MessageInput {
  std::string name;                     // the path, "-", or "FILE:N" for an mbox message
  std::optional<std::uint64_t> offset;  // an mbox message: its separator's byte offset
  std::shared_ptr<mapi::Message> message;
};

using MessageVisitor = std::function<void(MessageInput& input)>;
using ProblemSink = std::function<void(const std::string& problem)>;

// Reads every message `arg` names, handing each to `visit` as soon as it is read: an
// mbox is never held whole, only the message being judged. What cannot be read (a
// path that does not exist, a message file that fails, damage in an mbox) goes to
// `problem`, one line each without the program's name, and the rest is still read.
// Returns the number of problems.
int ReadMessageInput(const std::string& arg, const InputOptions& options,
                     const MessageVisitor& visit, const ProblemSink& problem);
>>>>>>> main

}  // namespace quorvel::app

#endif  // QUORVEL_APP_MESSAGE_INPUTS_H_
