// One subcommand of the quorvel command line. Each lives in a file of its own and
// is listed once in the command table (command_table.cpp).
#ifndef QUORVEL_APP_COMMAND_H_
#define QUORVEL_APP_COMMAND_H_

#include <iosfwd>
#include <string>
#include <vector>

namespace CLI {
class App;
}
namespace quorvel::host {
class ProfileHost;
}
namespace quorvel::outlook {
class AddInProcess;
}
namespace quorvel::ui {
class Ui;
}

namespace quorvel::app {

// Where a command writes, and the exit status it leaves.
struct CommandIo {
  std::ostream& out;
  std::ostream& err;
  int status = 0;
  // --profile NAME (empty: the default profile) and --yes, given before or after the
  // subcommand's name.
  std::string profile{};
  bool yes = false;
  // Set while the command runs inside a host (the running one it was sent to, or a
  // short-lived one of its own): the add-in's process-wide objects, whose settings
  // and mail base the command uses, and the host's presenter, which asks whoever
  // sent the command. Null for a command run without a profile.
  outlook::AddInProcess* hostProcess = nullptr;
  ui::Ui* presenter = nullptr;
  // Set with them: the host itself (its namespace, add-ins and user-interface loop).
  host::ProfileHost* host = nullptr;
  // The command's standard input: the program's own, or inside a host the one its
  // client passed along (descriptor -1: none).
  std::istream* in = nullptr;  // null: std::cin
  int inFd = 0;
  // The folder relative paths of the command line are resolved in: the client's,
  // inside a host (which never changes its own); empty: the process's.
  std::string cwd{};

  // `path` as the command opens it: resolved in `cwd` when relative.
  std::string ResolvePath(const std::string& path) const {
    if (cwd.empty() || path.empty() || path[0] == '/' || path == "-") return path;
    return cwd.back() == '/' ? cwd + path : cwd + "/" + path;
  }
};

struct Command {
  const char* name;
  const char* description;
  // Adds the subcommand's options (and those of its own subcommands) to `sub`, and a
  // callback that runs it once the whole command line has been parsed and sets
  // io.status. `io` outlives the parse.
  void (*setup)(CLI::App& sub, CommandIo& io);
  // Acts on the profile's mail or settings: sent to the profile's running host, or run
  // by a short-lived host of its own (see cli.cpp).
  bool routed = false;
  // A routed command that needs nothing of the profile's store (judging files and
  // standard input, the lists): when no host runs it works without one instead of
  // opening the store, so a server that is down or a Maildir that is gone never stops
  // it, and it says so on standard error.
  bool needsStore = true;
  // The exit status when the command cannot do its work at all (no such profile, the
  // host ended under it). classify makes it 3: its 1 means "spam" to a delivery filter.
  int failureStatus = 1;
};

// The table of subcommands, in the order --help lists them.
const std::vector<Command>& CommandTable();

}  // namespace quorvel::app

#endif  // QUORVEL_APP_COMMAND_H_
