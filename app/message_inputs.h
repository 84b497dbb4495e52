// The messages named on a command line: message files, Maildir folders (every
// message file of their cur/ and new/, in name order) and "-" for standard input.
#ifndef QUORVEL_APP_MESSAGE_INPUTS_H_
#define QUORVEL_APP_MESSAGE_INPUTS_H_

#include <memory>
#include <string>
#include <vector>

#include "mapi/message.h"

namespace quorvel::app {

struct MessageInput {
  std::string path;  // as the user named it ("-" for standard input)
};

// Expands the arguments in order. A path that does not exist, or a directory that
// is not a Maildir folder, is left out with a line in *errors. The arguments are
// moved from (a long command line is held once, not twice).
std::vector<MessageInput> ExpandMessageInputs(std::vector<std::string> args,
                                              std::vector<std::string>* errors);

// Opens one input as a read-only message. On failure returns null and sets *error.
std::shared_ptr<mapi::Message> OpenMessageInput(const MessageInput& input, std::string* error);

}  // namespace quorvel::app

#endif  // QUORVEL_APP_MESSAGE_INPUTS_H_
