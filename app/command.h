// One subcommand of the quorvel command line. Each lives in a file of its own and
// is listed once in the command table (command_table.cpp).
#ifndef QUORVEL_APP_COMMAND_H_
#define QUORVEL_APP_COMMAND_H_

#include <functional>
#include <iosfwd>
#include <memory>
#include <span>
#include <vector>

namespace CLI {
class App;
}

namespace quorvel::app {

struct CommandIo {
  std::ostream& out;
  std::ostream& err;
  // The command line as the program was given it (argv[0] first). It outlives the
  // command, so a command may keep views of it instead of copies.
  std::span<const char* const> commandLine;
};

// Adds a subcommand's options to `sub` and returns what runs it (giving the exit
// status) once the command line has been parsed.
using CommandSetup = std::function<std::function<int(CommandIo&)>(CLI::App& sub)>;

struct Command {
  const char* name;
  const char* description;
  CommandSetup setup;
};

// The table of subcommands, in the order --help lists them.
const std::vector<Command>& CommandTable();

}  // namespace quorvel::app

#endif  // QUORVEL_APP_COMMAND_H_
