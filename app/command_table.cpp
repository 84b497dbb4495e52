#include "app/command.h"
#include "app/commands.h"

namespace quorvel::app {
namespace {

Command Routed(Command command) {
  command.routed = true;
  return command;
}

}  // namespace

const std::vector<Command>& CommandTable() {
  static const std::vector<Command> table = {
      Routed(ClassifyCommand()), FilterCommand(),     MailbaseCommand(),
      Routed(ListsCommand()),    LogCommand(),        ProfileCommand(),
      RegisterCommand(),         UnregisterCommand(), RunCommand(),
      StatusCommand(),
  };
  return table;
}

}  // namespace quorvel::app
