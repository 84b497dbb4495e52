// The program's standard input, output and error as the commands rely on them.
#ifndef QUORVEL_APP_STANDARD_STREAMS_H_
#define QUORVEL_APP_STANDARD_STREAMS_H_

#include <iosfwd>

namespace quorvel::app {

// A program started with a standard stream closed would hand that descriptor to the
// first file it opens, and then read a settings file as the message or print
// verdicts into the mail base. Each closed one is held by /dev/null opened for the
// other direction, so that using it fails (EBADF) as a closed stream should. Call
// first thing in main.
void HoldClosedStandardStreams();

// False when `fd` (the command's standard input; -1 when it has none) is closed or is
// one of the stand-ins above, open for writing only: there is nothing to read, not
// even an empty message.
bool StandardInputOpen(int fd);

// Flushes both streams once the command has run. A failed write to standard output
// (a full disk, a closed descriptor) is reported on `err` and turns `status` into
// kExitIoError; a failed write to `err` does so as well, without a message.
int FinishOutput(int status, std::ostream& out, std::ostream& err);

}  // namespace quorvel::app

#endif  // QUORVEL_APP_STANDARD_STREAMS_H_
