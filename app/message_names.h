// The MESSAGE arguments of a command: names the message locator takes
// (host/message_locator.h), and "-" for names read from the command's standard input,
// one per line, as other mail tools print them:
//
//   notmuch search --output=files tag:spam | quorvel junk -
//
// A line's carriage return and the blanks around it are dropped; empty lines are
// skipped.
#ifndef QUORVEL_APP_MESSAGE_NAMES_H_
#define QUORVEL_APP_MESSAGE_NAMES_H_

#include <iosfwd>
#include <string>
#include <vector>

#include "host/message_locator.h"
#include "host/outcome.h"

namespace quorvel::app {

// Finds every named message, in the order named. Each name that finds nothing (or too
// much) is reported on `err` as "quorvel: <reason>" and left out (and its outcome added
// to `failures` when given); the outcome is ok when every name was found, else the
// first failure's. `in` is read only for "-" (once).
host::Outcome LocateMessages(host::MessageLocator& locator, const std::vector<std::string>& names,
                             std::istream& in, std::ostream& err,
                             std::vector<host::LocatedMessage>* found,
                             std::vector<host::Outcome>* failures = nullptr);

}  // namespace quorvel::app

#endif  // QUORVEL_APP_MESSAGE_NAMES_H_
