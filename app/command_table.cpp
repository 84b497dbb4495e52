#include "app/command.h"
#include "app/commands.h"

namespace quorvel::app {

const std::vector<Command>& CommandTable() {
  static const std::vector<Command> table = {
      ClassifyCommand(),
      MailbaseCommand(),
      ListsCommand(),
  };
  return table;
}

}  // namespace quorvel::app
