// The messages named on a command line: message files, Maildir folders (every
// message file of their cur/ and new/, in name order) and "-" for standard input.
// Only a Maildir's info flags make a message read or a draft; a message file or
// standard input is neither.
#ifndef QUORVEL_APP_MESSAGE_INPUTS_H_
#define QUORVEL_APP_MESSAGE_INPUTS_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "mapi/message.h"

namespace quorvel::app {

struct MessageInput {
  std::string path;              // as the user named it ("-" for standard input)
  std::uint32_t storeFlags = 0;  // MSGFLAG_READ / MSGFLAG_UNSENT from a Maildir file name
};

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

}  // namespace quorvel::app

#endif  // QUORVEL_APP_MESSAGE_INPUTS_H_
