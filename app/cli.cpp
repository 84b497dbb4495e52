#include "app/cli.h"

#include <CLI/CLI.hpp>
#include <ostream>

#include "app/command.h"
#include "app/version.h"

namespace quorvel::app {

int RunCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  CLI::App cli{"Quorvel: a personal spam filter for your own mailbox.", "quorvel"};
  cli.set_version_flag("--version", std::string("quorvel ") + kVersion);
  cli.require_subcommand(0, 1);

  CommandIo io{out, err};
  for (const Command& command : CommandTable()) {
    command.setup(*cli.add_subcommand(command.name, command.description), io);
  }

  // The named command runs from its callback, at the end of the parse.
  try {
    cli.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    out << cli.help();
    return kExitOk;
  } catch (const CLI::CallForAllHelp&) {
    out << cli.help("", CLI::AppFormatMode::All);
    return kExitOk;
  } catch (const CLI::CallForVersion&) {
    out << cli.version() << "\n";
    return kExitOk;
  } catch (const CLI::ParseError& e) {
    err << "quorvel: " << e.what() << "\n";
    err << "Run 'quorvel --help' for usage.\n";
    return kExitUsage;
  }
  if (cli.get_subcommands().empty()) out << cli.help();
  return io.status;
}

}  // namespace quorvel::app
