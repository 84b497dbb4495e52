// The subcommands, one file each; command_table.cpp lists them.
#ifndef QUORVEL_APP_COMMANDS_H_
#define QUORVEL_APP_COMMANDS_H_

#include <iosfwd>
#include <string>
#include <vector>

#include "app/cli.h"
#include "app/command.h"
#include "host/job.h"
#include "host/profile_host.h"

namespace quorvel::app {

// Exit statuses beyond kExitOk and kExitUsage.
inline constexpr int kExitSpam = 1;         // classify --exit-code: the message is spam
inline constexpr int kExitFailure = 1;      // a command could not do its work
inline constexpr int kExitUnreadable = 3;   // classify: a path could not be read
inline constexpr int kExitIoError = 3;      // standard input, output or error failed
inline constexpr int kExitNoMailbase = 4;   // classify: the mail base cannot be loaded
inline constexpr int kExitCannotJudge = 3;  // classify: nothing could be judged at all
inline constexpr int kExitUnjudged = 4;     // filter: passed through unchanged, not judged
inline constexpr int kExitCredentials = 5;  // run: the password or certificate was refused

Command ClassifyCommand();
Command DebugCommand();
Command FilterCommand();
Command MailbaseCommand();
Command ListCommand();
Command DictCommand();
Command OptionCommand();
Command OptionsCommand();
Command SpamFolderCommand();
Command LogCommand();
Command ProfileCommand();
Command RegisterCommand();
Command UnregisterCommand();
Command RunCommand();
Command StatusCommand();
Command FoldersCommand();
Command MessagesCommand();
Command WizardCommand();
Command CheckCommand();
Command TestCommand();
Command EmptySpamCommand();
Command SupportCommand();
Command GoodCommand();
Command JunkCommand();
Command UndoCommand();
Command ToolbarCommand();

// Runs a command line a client sent to `host` (no routing), on the job's own thread:
// against the host's settings and mail base, in the client's folder, its questions
// asked through the job's presenter, its standard input the client's (reads end when
// the job is cancelled). Returns the exit status.
int RunJob(host::ProfileHost& host, host::JobContext& job);

}  // namespace quorvel::app

#endif  // QUORVEL_APP_COMMANDS_H_
