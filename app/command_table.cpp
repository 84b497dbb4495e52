#include "app/command.h"
#include "app/commands.h"

namespace quorvel::app {
namespace {

Command Routed(Command command) {
  command.routed = true;
  return command;
}

Command WithoutStore(Command command) {
  command.needsStore = false;
  return command;
}

}  // namespace

const std::vector<Command>& CommandTable() {
  static const std::vector<Command> table = {
      WithoutStore(Routed(ClassifyCommand())),
      FilterCommand(),
      MailbaseCommand(),
      WithoutStore(Routed(ListCommand())),
      WithoutStore(Routed(DictCommand())),
      WithoutStore(Routed(OptionCommand())),
      Routed(SpamFolderCommand()),
      Routed(OptionsCommand()),
      LogCommand(),
      ProfileCommand(),
      RegisterCommand(),
      UnregisterCommand(),
      RunCommand(),
      StatusCommand(),
      Routed(DebugCommand()),
      Routed(FoldersCommand()),
      Routed(MessagesCommand()),
      Routed(WizardCommand()),
      Routed(CheckCommand()),
      Routed(TestCommand()),
      Routed(EmptySpamCommand()),
      Routed(SupportCommand()),
      Routed(GoodCommand()),
      Routed(JunkCommand()),
      Routed(UndoCommand()),
      Routed(ToolbarCommand()),
  };
  return table;
}

}  // namespace quorvel::app
