#include "app/cli.h"

#include <limits.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <chrono>
#include <cstring>
#include <iostream>
#include <ostream>
#include <string_view>
#include <thread>

#include "app/command.h"
#include "app/commands.h"
#include "app/descriptor_input.h"
#include "app/host_setup.h"
#include "app/terminal_ui.h"
#include "app/version.h"
#include "host/client.h"
#include "platform/lock_file.h"
#include "platform/registry_file.h"
#include "settings/data_folder.h"

namespace quorvel::app {

namespace {

// Parses the command line; the named command runs from its callback, at the end of
// the parse. Returns the exit status.
int Dispatch(int argc, const char* const* argv, CommandIo& io) {
  CLI::App cli{"Quorvel: a personal spam filter for your own mailbox.", "quorvel"};
  cli.set_version_flag("--version", std::string("quorvel ") + kVersion);
  cli.require_subcommand(0, 1);
  cli.fallthrough();  // --profile and --yes may also follow the subcommand's name
  cli.add_option("--profile", io.profile, "The profile to act on (default: the default one)");
  cli.add_flag("--yes,-y", io.yes, "Answer every question with its affirmative button");
  for (const Command& command : CommandTable()) {
    command.setup(*cli.add_subcommand(command.name, command.description), io);
  }
  try {
    cli.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    io.out << cli.help();
    return kExitOk;
  } catch (const CLI::CallForAllHelp&) {
    io.out << cli.help("", CLI::AppFormatMode::All);
    return kExitOk;
  } catch (const CLI::CallForVersion&) {
    io.out << cli.version() << "\n";
    return kExitOk;
  } catch (const CLI::ParseError& e) {
    io.err << "quorvel: " << e.what() << "\n";
    io.err << "Run 'quorvel --help' for usage.\n";
    return kExitUsage;
  }
  if (cli.get_subcommands().empty()) io.out << cli.help();
  return io.status;
}

std::string WorkingFolder() {
  char cwd[PATH_MAX];
  return ::getcwd(cwd, sizeof cwd) ? std::string(cwd) : std::string();
}

// Runs the command line inside `host`: with its settings, mail base and presenter.
int DispatchInHost(host::ProfileHost& host, int argc, const char* const* argv, CommandIo& io) {
  io.hostProcess = &ProgramProcess();
  io.presenter = &host.application().Presenter();
  io.host = &host;
  if (io.cwd.empty()) io.cwd = WorkingFolder();  // a short-lived host: this process's
  return Dispatch(argc, argv, io);
}

// What a routed command needs to know before the parse runs it: which command is
// named, and --profile and --yes wherever they stand.
struct Scan {
  const Command* command = nullptr;
  std::string profile;
  bool yes = false;
};

Scan ScanCommandLine(int argc, const char* const* argv) {
  Scan scan;
  for (int i = 1; i < argc; ++i) {
    std::string_view a = argv[i];
    if (a == "--") break;
    if (a == "--profile" && i + 1 < argc) {
      scan.profile = argv[++i];
    } else if (a.substr(0, 10) == "--profile=") {
      scan.profile = std::string(a.substr(10));
    } else if (a == "--yes" || a == "-y") {
      scan.yes = true;
    } else if (scan.command == nullptr && !a.empty() && a[0] != '-') {
      for (const Command& c : CommandTable()) {
        if (a == c.name) scan.command = &c;
      }
      if (scan.command == nullptr) return scan;  // not a command: the parse will say so
    }
  }
  return scan;
}

host::ClientOptions ClientOptions() {
  host::ClientOptions options;
  options.software = std::string("quorvel ") + kVersion;
  return options;
}

// A command that acts on a profile's mail or settings is a click in that profile's
// host: it is sent to the running host, or, when none runs, a host of its own is
// started in this process for the command's length, unless the command needs nothing
// of the store. Without any profile at all the command runs on its own, as it always
// did.
int RunRouted(const Scan& scan, int argc, const char* const* argv, CommandIo& io) {
  const int failed = scan.command->failureStatus;
  auto registry = platform::OpenDefaultRegistry();
  host::Profile profile;
  std::string error;
  if (!ResolveProfile(*registry, scan.profile, &profile, &error)) {
    if (RunsWithoutProfile(*registry, scan.profile)) return Dispatch(argc, argv, io);
    io.err << "quorvel: " << error << "\n";
    return failed;
  }
  TerminalUi terminal(std::cin, io.err, TerminalUi::ModeFor(scan.yes),
                      TerminalUi::ProgressOnTerminal());
  std::string path;
  if (host::Outcome where = host::ChannelPath(profile.name, &path); !where.ok()) {
    io.err << "quorvel: " << where.message << "\n";
    return failed;
  }
  host::protocol::RunRequest request;
  request.argv.assign(argv, argv + argc);
  request.cwd = WorkingFolder();
  request.interactive = terminal.Interactive();
  request.yes = scan.yes;
  for (int attempt = 0;; ++attempt) {
    host::Outcome connected;
    auto client = host::HostClient::Connect(path, ClientOptions(), &connected);
    if (client) {
      // Questions the host's background work left for a person come first, at a
      // terminal only; one that cannot be answered now does not stop the command.
      int answered = 0;
      if (host::Outcome offered = client->OfferPending(terminal, &answered); !offered.ok()) {
        io.err << "quorvel: the host's waiting questions were not answered: " << offered.message
               << "\n";
      }
      // The command's standard input goes along, for a command that reads "-".
      host::HostClient::RunResult sent =
          client->Run(request, STDIN_FILENO, terminal, io.out, io.err);
      if (!sent.outcome.ok()) {
        io.err << "quorvel: " << sent.outcome.message << "\n";
        return failed;
      }
      return sent.status;
    }
    if (connected.code != host::OutcomeCode::kUnreachable) {  // a host that refuses
      io.err << "quorvel: " << connected.message << "\n";
      return failed;
    }
    if (!scan.command->needsStore) {
      io.err << "quorvel: no host runs for profile '" << profile.name
             << "': working without its store\n";
      return Dispatch(argc, argv, io);
    }
    auto own = OpenProfileHost(*registry, profile, terminal, /*watch=*/false, &error);
    if (own) {
      own->Connect();  // what is not loaded is said by `quorvel run`, not by every command
      int status;
      {
        host::Application::PresenterScope scope(
            own->application(), std::shared_ptr<ui::Ui>(std::shared_ptr<ui::Ui>(), &terminal));
        status = DispatchInHost(*own, argc, argv, io);
      }
      own->application().loop().RunPending();
      own->Disconnect();
      return status;
    }
    // Only a host that holds the lock but does not answer yet (it is starting) is
    // worth waiting for, and only for a while.
    std::string dataFolder = DefaultDataFolders().DataFolder();
    bool starting =
        platform::LockFile::Holder(host::HostLockPath(dataFolder, profile.name)).pid != 0;
    if (!starting) {
      io.err << "quorvel: " << error << "\n";
      return failed;
    }
    if (attempt >= 50) {
      io.err << "quorvel: " << error << ", and it does not answer on " << path << "\n";
      return failed;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}

}  // namespace

int RunCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  CommandIo io{out, err};
  Scan scan = ScanCommandLine(argc, argv);
  if (scan.command != nullptr && scan.command->routed) return RunRouted(scan, argc, argv, io);
  return Dispatch(argc, argv, io);
}

int RunJob(host::ProfileHost& host, host::JobContext& job) {
  std::vector<const char*> argv;
  for (const std::string& a : job.argv) argv.push_back(a.c_str());
  CommandIo io{job.out, job.err};
  std::unique_ptr<DescriptorInput> in;
  if (job.standardInput >= 0) {
    in = std::make_unique<DescriptorInput>(job.standardInput, job.cancel ? job.cancel->fd() : -1);
  }
  io.in = in.get();
  io.inFd = job.standardInput;
  io.cwd = job.cwd;
  io.host = &host;
  io.hostProcess = &ProgramProcess();
  io.presenter = job.presenter.get();
  // What the process-wide objects show while this job runs goes to its client too.
  JobPresenterScope scope(job.presenter.get());
  // The add-in's commands this job clicks ask its client too.
  host::Application::ThreadPresenterScope here(host.application(), job.presenter.get());
  return Dispatch(static_cast<int>(argv.size()), argv.data(), io);
}

}  // namespace quorvel::app
