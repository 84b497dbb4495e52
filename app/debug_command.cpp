// quorvel debug crash
//
// Makes the host fault on purpose inside the add-in's own code, so that a user or
// support can see that the exception report is written and offered. Sent to the
// profile's running host (which then dies and leaves the report), or run by a
// short-lived host of its own.
//
// quorvel debug ask
//
// Asks a question from a thread of the host's own, as its background work would (a
// running host keeps it waiting for the next interactive client, which `quorvel
// status` counts), and prints the answer once a person gave it.
#include <CLI/CLI.hpp>
#include <thread>

#include "app/command.h"
#include "app/commands.h"
#include "host/profile_host.h"
#include "outlook/debug_crash.h"

namespace quorvel::app {
namespace {

void SetupDebug(CLI::App& sub, CommandIo& io) {
  sub.require_subcommand(1);
  CLI::App* crash = sub.add_subcommand(
      "crash", "Make the host fault on purpose, to check that exception reports are written");
  crash->callback([&io] {
    if (io.hostProcess == nullptr) {
      io.err << "quorvel: debug crash runs inside a host only\n";
      io.status = 1;
      return;
    }
    io.err << "quorvel: faulting on purpose\n";
    io.err.flush();
    outlook::CrashOnPurpose();
  });
  CLI::App* ask = sub.add_subcommand(
      "ask", "Ask a question as the host's background work does, and print the answer");
  ask->callback([&io] {
    if (io.host == nullptr) {
      io.err << "quorvel: debug ask runs inside a host only\n";
      io.status = 1;
      return;
    }
    host::Application& application = io.host->application();
    int answer = 0;
    // Not this command's thread: that one asks the command's own client.
    std::thread background([&] {
      answer = application.Presenter().Show(
          "A question of the host's background work: did it reach you?", "Quorvel",
          platform::MB_YESNO | platform::MB_ICONQUESTION);
    });
    background.join();
    io.out << "answered: "
           << (answer == platform::IDYES  ? "Yes"
               : answer == platform::IDNO ? "No"
                                          : std::to_string(answer))
           << "\n";
  });
}

}  // namespace

Command DebugCommand() {
  return {"debug",
          "Diagnostics for support: debug crash faults on purpose, debug ask asks as background "
          "work does",
          SetupDebug};
}

}  // namespace quorvel::app
