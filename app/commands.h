// The subcommands, one file each; command_table.cpp lists them.
#ifndef QUORVEL_APP_COMMANDS_H_
#define QUORVEL_APP_COMMANDS_H_

#include <iosfwd>
#include <string>
#include <vector>

#include "app/cli.h"
#include "app/command.h"
#include "host/profile_host.h"

namespace quorvel::app {

// Exit statuses beyond kExitOk and kExitUsage.
inline constexpr int kExitSpam = 1;        // classify --exit-code: the message is spam
inline constexpr int kExitFailure = 1;     // a command could not do its work
inline constexpr int kExitUnreadable = 3;  // classify: a path could not be read
inline constexpr int kExitIoError = 3;     // standard input, output or error failed
inline constexpr int kExitNoMailbase = 4;  // classify: the mail base cannot be loaded
inline constexpr int kExitUnjudged = 4;    // filter: passed through unchanged, not judged

Command ClassifyCommand();
Command FilterCommand();
Command MailbaseCommand();
Command ListsCommand();
Command LogCommand();
Command ProfileCommand();
Command RegisterCommand();
Command UnregisterCommand();
Command RunCommand();
Command StatusCommand();

// Runs a command line inside `host`, which received it (no routing), on the host's
// user-interface thread: against the host's settings and mail base, its questions
// asked through the host's presenter. Returns the exit status.
// `standardInput` is what the command reads as its standard input (-1: none).
int RunInsideHost(host::ProfileHost& host, const std::vector<std::string>& argv, std::ostream& out,
                  std::ostream& err, int standardInput);

}  // namespace quorvel::app

#endif  // QUORVEL_APP_COMMANDS_H_
