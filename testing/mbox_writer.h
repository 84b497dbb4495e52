// Writes messages into an mbox the way mail programs do, for tests that read mbox
// files: each message after a separator line (its own first line when it begins with
// "From ", else a fixed one), every ">...>From " line of it quoted with one more '>'
// (mboxrd), a line end added when it lacks one, and an empty line after it.
#ifndef QUORVEL_TESTING_MBOX_WRITER_H_
#define QUORVEL_TESTING_MBOX_WRITER_H_

#include <ostream>
#include <string_view>

namespace quorvel {

// Appends one message to an mbox being written.
void AppendToMbox(std::ostream& mbox, std::string_view message);

// The bytes a reader gives back for a message appended with AppendToMbox: the message
// without the separator line it started with (one without a final line end reads back
// with one).
std::string_view MessageAsItReadsBack(std::string_view message);

}  // namespace quorvel

#endif  // QUORVEL_TESTING_MBOX_WRITER_H_
