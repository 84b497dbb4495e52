#include "app/cli.h"

#include <CLI/CLI.hpp>
#include <ostream>

#include "app/command.h"
#include "app/version.h"

namespace quorvel::app {

namespace {

// Parses the command line. Returns the command to run (empty for help, version or a
// usage error, with *status set). The parser is gone once this returns, and with it
// its own copies of the arguments: a command line naming thousands of files is held
// once, by the command, for the whole run.
std::function<int(CommandIo&)> Parse(int argc, const char* const* argv, std::ostream& out,
                                     std::ostream& err, int* status) {
  CLI::App cli{"Quorvel: a personal spam filter for your own mailbox.", "quorvel"};
  cli.set_version_flag("--version", std::string("quorvel ") + kVersion);
  cli.require_subcommand(0, 1);

  std::function<int(CommandIo&)> run;
  for (const Command& command : CommandTable()) {
    CLI::App* sub = cli.add_subcommand(command.name, command.description);
    auto runner = command.setup(*sub);
    sub->callback([&run, runner] { run = runner; });
  }

  *status = kExitOk;
  try {
    cli.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    out << cli.help();
    return nullptr;
  } catch (const CLI::CallForAllHelp&) {
    out << cli.help("", CLI::AppFormatMode::All);
    return nullptr;
  } catch (const CLI::CallForVersion&) {
    out << cli.version() << "\n";
    return nullptr;
  } catch (const CLI::ParseError& e) {
    err << "quorvel: " << e.what() << "\n";
    err << "Run 'quorvel --help' for usage.\n";
    *status = kExitUsage;
    return nullptr;
  }
  if (!run) out << cli.help();
  return run;
}

}  // namespace

int RunCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  int status = kExitOk;
  std::function<int(CommandIo&)> run = Parse(argc, argv, out, err, &status);
  if (!run) return status;
  CommandIo io{out, err, std::span<const char* const>(argv, static_cast<std::size_t>(argc))};
  return run(io);
}

}  // namespace quorvel::app
