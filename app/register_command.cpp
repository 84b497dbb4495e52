// quorvel register | unregister
//
// Writes (or removes) the values that make the host load the add-in and its client
// extension, with this program as the module. Exit status: 0; 1 when the registry
// cannot be written.
#include <CLI/CLI.hpp>
#include <ostream>

#include "app/commands.h"
#include "app/host_setup.h"
#include "outlook/registration.h"
#include "platform/registry_file.h"

namespace quorvel::app {
namespace {

int Register(CommandIo& io) {
  auto registry = platform::OpenDefaultRegistry();
  std::string error;
  std::string module = ProgramPath();
  if (outlook::RegisterAddIn(*registry, module, &error) != platform::ERROR_SUCCESS) {
    io.err << "quorvel: registration failed: " << error << "\n";
    return kExitFailure;
  }
  io.out << "Registered the add-in (" << module << ")\n";
  return kExitOk;
}

int Unregister(CommandIo& io) {
  auto registry = platform::OpenDefaultRegistry();
  std::string error;
  if (outlook::UnregisterAddIn(*registry, &error) != platform::ERROR_SUCCESS) {
    io.err << "quorvel: unregistration failed: " << error << "\n";
    return kExitFailure;
  }
  io.out << "Unregistered the add-in\n";
  return kExitOk;
}

}  // namespace

Command RegisterCommand() {
  return {"register", "Register the add-in so that the host loads it",
          [](CLI::App& sub, CommandIo& io) { sub.callback([&io] { io.status = Register(io); }); }};
}

Command UnregisterCommand() {
  return {"unregister", "Remove the add-in's registration", [](CLI::App& sub, CommandIo& io) {
            sub.callback([&io] { io.status = Unregister(io); });
          }};
}

}  // namespace quorvel::app
