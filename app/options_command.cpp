// quorvel options
//
// The whole options sheet at the terminal: its pages as a menu, each page's controls
// and buttons as prompts. OK saves; Cancel keeps the settings as they were (only the
// page shown is remembered for the next opening). Help opens the user's manual.
//
// Exit status: 0 after OK; 1 after Cancel, or when the settings cannot be saved.
#include <CLI/CLI.hpp>

#include "app/command_sheet.h"
#include "app/commands.h"

namespace quorvel::app {
namespace {

int RunOptions(CommandIo& io) {
  UserEnvironment env(io, SettingsUse::kChangeAfterAsking);
  CommandSheet sheet(env, io, /*learnedCounts=*/true);
  if (!sheet.sheet().Run()) return kExitFailure;
  std::string error;
  if (!env.SaveSettings(&error)) {
    io.err << "quorvel: cannot save the settings: " << error << "\n";
    return kExitFailure;
  }
  return kExitOk;
}

void SetupOptions(CLI::App& sub, CommandIo& io) {
  sub.callback([&io] { io.status = RunOptions(io); });
}

}  // namespace

Command OptionsCommand() {
  return {"options", "Open the options sheet: every page, at the terminal", SetupOptions};
}

}  // namespace quorvel::app
