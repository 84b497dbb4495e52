// The quorvel command line: parses arguments and runs one subcommand.
#ifndef QUORVEL_APP_CLI_H_
#define QUORVEL_APP_CLI_H_

#include <iosfwd>

namespace quorvel::app {

// Exit statuses.
inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = 2;

// Runs the command line. Output goes to out, messages to err. Returns the exit status.
int RunCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

}  // namespace quorvel::app

#endif  // QUORVEL_APP_CLI_H_
