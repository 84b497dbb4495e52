// quorvel toolbar
//
// Prints the toolbar, the menu and the keys of the host's window as they stand: the
// bar's buttons in order, each "[x]" when shown or "[ ]" when hidden, with its
// caption, tooltip and shortcut text; the menu's items ("----" for a separator); the
// keys and the commands they deliver.
//
// quorvel toolbar customize
//
// The "Toolbar Customization" dialog, clicked as the toolbar's command is (through
// the add-in's command handler); OK applies the choice and saves it.
//
// Exit status: 0; 1 without a profile, without a window or when the add-in does not
// take the command; 2 for usage errors.
#include <CLI/CLI.hpp>
#include <ostream>

#include "app/commands.h"
#include "host/command_request.h"
#include "host/profile_host.h"
#include "host/window_requests.h"
#include "platform/printable.h"

namespace quorvel::app {
namespace {

constexpr int kCustomizeToolbarCommand = 32789;

void PrintControl(const host::protocol::BarControl& c, const std::string& indent,
                  std::ostream& out) {
  if (c.beginGroup) out << indent << "----\n";
  out << indent << (c.visible ? "[x] " : "[ ] ") << platform::Printable(c.caption);
  if (!c.tooltip.empty()) out << "\t" << platform::Printable(c.tooltip);
  if (!c.shortcut.empty()) out << "\t" << platform::Printable(c.shortcut);
  out << "\n";
  for (const auto& inner : c.controls) PrintControl(inner, indent + "  ", out);
}

int ShowToolbar(CommandIo& io) {
  host::Application& application = io.host->application();
  std::optional<host::protocol::CommandBarList> bars;
  application.loop().Call([&] {
    if (auto window = application.ActiveExplorer()) {
      bars = host::DescribeCommandBars(window->CommandBars());
    }
  });
  if (!bars) {
    io.err << "quorvel: the host shows no window\n";
    return kExitFailure;
  }
  for (const host::protocol::Bar& bar : bars->bars) {
    if (bar.controls.empty()) continue;
    io.out << (bar.position == 6 ? "Menu bar" : "Toolbar \"" + bar.name + "\"")
           << (bar.visible ? "" : " (hidden)") << ":\n";
    for (const auto& c : bar.controls) PrintControl(c, "  ", io.out);
  }
  if (!bars->keys.empty()) io.out << "Keys:\n";
  for (const auto& key : bars->keys) io.out << "  " << key.keys << "\t" << key.command << "\n";
  return io.out ? kExitOk : kExitIoError;
}

int Customize(CommandIo& io) {
  host::Application& application = io.host->application();
  std::shared_ptr<host::MAPIFolder> folder;
  application.loop().Call([&] {
    if (auto window = application.ActiveExplorer()) folder = window->CurrentFolder();
  });
  if (!folder) {
    io.err << "quorvel: the host shows no window\n";
    return kExitFailure;
  }
  host::Outcome clicked =
      host::ClickForRequest(application, io.host->AddIns(), kCustomizeToolbarCommand, folder, {});
  if (!clicked.ok()) {
    io.err << "quorvel: " << clicked.message << "\n";
    return kExitFailure;
  }
  return kExitOk;
}

// Runs `command` inside a host; without one (no profile) says so.
int InHost(CommandIo& io, int (*command)(CommandIo&)) {
  if (io.host == nullptr) {
    io.err << "quorvel: toolbar shows a profile's window, and there is no profile "
              "(see 'quorvel profile add')\n";
    return kExitFailure;
  }
  return command(io);
}

void SetupToolbar(CLI::App& sub, CommandIo& io) {
  CLI::App* customize = sub.add_subcommand("customize", "Choose the buttons the toolbar shows");
  customize->callback([&io] { io.status = InHost(io, Customize); });
  sub.callback([&sub, &io] {
    if (sub.get_subcommands().empty()) io.status = InHost(io, ShowToolbar);
  });
}

}  // namespace

Command ToolbarCommand() {
  return {"toolbar", "Show the toolbar, menu and keys; toolbar customize chooses the buttons",
          SetupToolbar};
}

}  // namespace quorvel::app
