#include "app/message_names.h"

#include <istream>
#include <ostream>

namespace quorvel::app {
namespace {

std::string Trimmed(const std::string& line) {
  const char* blanks = " \t\r";
  std::size_t start = line.find_first_not_of(blanks);
  if (start == std::string::npos) return {};
  return line.substr(start, line.find_last_not_of(blanks) - start + 1);
}

}  // namespace

host::Outcome LocateMessages(host::MessageLocator& locator, const std::vector<std::string>& names,
                             std::istream& in, std::ostream& err,
                             std::vector<host::LocatedMessage>* found,
                             std::vector<host::Outcome>* failures) {
  host::Outcome first = host::Outcome::Ok();
  auto locate = [&](const std::string& name) {
    host::LocatedMessage message;
    host::Outcome outcome = locator.FindMessage(name, &message);
    if (outcome.ok()) {
      found->push_back(std::move(message));
      return;
    }
    err << "quorvel: " << outcome.message << "\n";
    if (failures != nullptr) failures->push_back(outcome);
    if (first.ok()) first = outcome;
  };
  bool readInput = false;
  for (const std::string& name : names) {
    if (name != "-") {
      locate(name);
      continue;
    }
    if (readInput) continue;
    readInput = true;
    for (std::string line; std::getline(in, line);) {
      std::string trimmed = Trimmed(line);
      if (!trimmed.empty()) locate(trimmed);
    }
  }
  return first;
}

}  // namespace quorvel::app
