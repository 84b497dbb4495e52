#include "app/command.h"

namespace quorvel::app {

const std::vector<Command>& CommandTable() {
  static const std::vector<Command> table = {};
  return table;
}

}  // namespace quorvel::app
