#include "app/cli.h"

#include <limits.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <chrono>
#include <iostream>
#include <ostream>
#include <thread>

#include "app/command.h"
#include "app/commands.h"
#include "app/host_setup.h"
#include "app/terminal_ui.h"
#include "app/version.h"
#include "host/channel.h"
#include "platform/lock_file.h"
#include "platform/registry_file.h"
#include "settings/data_folder.h"

namespace quorvel::app {

namespace {

struct Parsed {
  std::function<int(CommandIo&)> run;  // empty for help, version or a usage error
  const Command* command = nullptr;
  std::string profile;
  bool yes = false;
};

// Parses the command line. The parser is gone once this returns, and with it its own
// copies of the arguments: a command line naming thousands of files is held once, by
// the command, for the whole run.
Parsed Parse(int argc, const char* const* argv, std::ostream& out, std::ostream& err, int* status) {
  CLI::App cli{"Quorvel: a personal spam filter for your own mailbox.", "quorvel"};
  cli.set_version_flag("--version", std::string("quorvel ") + kVersion);
  cli.require_subcommand(0, 1);
  cli.fallthrough();  // --profile and --yes may also follow the subcommand's name
  Parsed parsed;
  cli.add_option("--profile", parsed.profile, "The profile to act on (default: the default one)");
  cli.add_flag("--yes,-y", parsed.yes, "Answer every question with its affirmative button");

  for (const Command& command : CommandTable()) {
    CLI::App* sub = cli.add_subcommand(command.name, command.description);
    auto runner = command.setup(*sub);
    sub->callback([&parsed, &command, runner] {
      parsed.run = runner;
      parsed.command = &command;
    });
  }

  *status = kExitOk;
  try {
    cli.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    out << cli.help();
    return {};
  } catch (const CLI::CallForAllHelp&) {
    out << cli.help("", CLI::AppFormatMode::All);
    return {};
  } catch (const CLI::CallForVersion&) {
    out << cli.version() << "\n";
    return {};
  } catch (const CLI::ParseError& e) {
    err << "quorvel: " << e.what() << "\n";
    err << "Run 'quorvel --help' for usage.\n";
    *status = kExitUsage;
    return {};
  }
  if (!parsed.run) out << cli.help();
  return parsed;
}

std::string WorkingFolder() {
  char cwd[PATH_MAX];
  return ::getcwd(cwd, sizeof cwd) ? std::string(cwd) : std::string();
}

// A command that acts on a profile's mail or settings is a click in that profile's
// host: it is sent to the running host, or, when none runs, a host of its own is
// started in this process for the command's length. Without any profile at all the
// command runs on its own, as it always did.
int RunRouted(const Parsed& parsed, int argc, const char* const* argv, CommandIo& io) {
  auto registry = platform::OpenDefaultRegistry();
  host::Profile profile;
  std::string error;
  if (!ResolveProfile(*registry, parsed.profile, &profile, &error)) {
    std::vector<host::Profile> all;
    std::string ignored;
    host::Profiles(*registry).List(&all, &ignored);
    if (parsed.profile.empty() && all.empty()) return parsed.run(io);
    io.err << "quorvel: " << error << "\n";
    return kExitFailure;
  }
  TerminalUi terminal(std::cin, io.err, TerminalUi::ModeFor(parsed.yes));
  std::string path;
  if (!host::ChannelPath(profile.name, &path, &error)) {
    io.err << "quorvel: " << error << "\n";
    return kExitFailure;
  }
  host::wire::Run request;
  request.argv.assign(argv, argv + argc);
  request.cwd = WorkingFolder();
  request.interactive = terminal.Interactive();
  request.yes = parsed.yes;
  // A host that holds the lock but does not answer yet is starting: wait for it a
  // little, then give up with a clear message.
  for (int attempt = 0;; ++attempt) {
    host::ClientResult sent = host::RunInHost(path, request, terminal, io.out, io.err);
    if (sent.connected) {
      if (!sent.error.empty()) {
        io.err << "quorvel: " << sent.error << "\n";
        return kExitFailure;
      }
      return sent.status;
    }
    auto own = OpenProfileHost(*registry, profile, terminal, /*watch=*/false, &error);
    if (own) {
      for (const std::string& note : own->Connect()) (void)note;  // said by `quorvel run`
      int status;
      {
        host::Application::PresenterScope scope(
            own->application(), std::shared_ptr<ui::Ui>(std::shared_ptr<ui::Ui>(), &terminal));
        status = parsed.run(io);
      }
      own->application().loop().RunPending();
      own->Disconnect();
      return status;
    }
    // Only a host that holds the lock but does not answer yet is worth waiting for.
    std::string dataFolder = DefaultDataFolders().DataFolder();
    bool starting =
        platform::LockFile::Holder(host::HostLockPath(dataFolder, profile.name)).pid != 0;
    if (!starting) {
      io.err << "quorvel: " << error << "\n";
      return kExitFailure;
    }
    if (attempt >= 50) {
      io.err << "quorvel: " << error << ", and it does not answer on " << path << "\n";
      return kExitFailure;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}

}  // namespace

int RunCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  int status = kExitOk;
  Parsed parsed = Parse(argc, argv, out, err, &status);
  if (!parsed.run) return status;
  CommandIo io{out, err, std::span<const char* const>(argv, static_cast<std::size_t>(argc)),
               parsed.profile, parsed.yes};
  if (parsed.command->routed) return RunRouted(parsed, argc, argv, io);
  return parsed.run(io);
}

int RunInsideHost(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  int status = kExitOk;
  Parsed parsed = Parse(static_cast<int>(argv.size()), argv.data(), out, err, &status);
  if (!parsed.run) return status;
  CommandIo io{out, err, std::span<const char* const>(argv.data(), argv.size()), parsed.profile,
               parsed.yes};
  return parsed.run(io);
}

}  // namespace quorvel::app
