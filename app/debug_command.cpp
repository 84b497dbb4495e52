// quorvel debug crash
//
// Makes the host fault on purpose inside the add-in's own code, so that a user or
// support can see that the exception report is written and offered. Sent to the
// profile's running host (which then dies and leaves the report), or run by a
// short-lived host of its own.
#include <CLI/CLI.hpp>

#include "app/command.h"
#include "app/commands.h"
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
}

}  // namespace

Command DebugCommand() {
  return {"debug", "Diagnostics for support: debug crash faults on purpose", SetupDebug};
}

}  // namespace quorvel::app
