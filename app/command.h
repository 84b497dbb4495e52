// One subcommand of the quorvel command line. Each lives in a file of its own and
// is listed once in the command table (command_table.cpp).
#ifndef QUORVEL_APP_COMMAND_H_
#define QUORVEL_APP_COMMAND_H_

#include <functional>
#include <iosfwd>
#include <memory>
#include <span>
#include <string>
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
  // --profile NAME (empty: the default profile) and --yes, given before or after the
  // subcommand's name.
  std::string profile{};
  bool yes = false;
};

// Adds a subcommand's options to `sub` and returns what runs it (giving the exit
// status) once the command line has been parsed.
using CommandSetup = std::function<std::function<int(CommandIo&)>(CLI::App& sub)>;

struct Command {
  const char* name;
  const char* description;
  CommandSetup setup;
  // Acts on the profile's mail or settings: sent to the profile's running host, or run
  // by a short-lived host of its own (see cli.cpp).
  bool routed = false;
};

// The table of subcommands, in the order --help lists them.
const std::vector<Command>& CommandTable();

}  // namespace quorvel::app

#endif  // QUORVEL_APP_COMMAND_H_
