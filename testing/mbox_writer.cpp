#include "testing/mbox_writer.h"

namespace quorvel {
namespace {

constexpr std::string_view kFrom = "From ";
constexpr std::string_view kSeparator = "From writer@example.org Mon Jun 24 17:04:13 2002\n";

}  // namespace

std::string_view MessageAsItReadsBack(std::string_view message) {
  if (message.starts_with(kFrom)) {
    const std::size_t end = message.find('\n');
    message.remove_prefix(end == std::string_view::npos ? message.size() : end + 1);
  }
  return message;
}

void AppendToMbox(std::ostream& mbox, std::string_view message) {
  if (message.starts_with(kFrom)) {
    const std::size_t end = message.find('\n');
    mbox << message.substr(0, end) << '\n';
  } else {
    mbox << kSeparator;
  }
  message = MessageAsItReadsBack(message);
  while (!message.empty()) {
    const std::size_t end = message.find('\n');
    const std::string_view line =
        end == std::string_view::npos ? message : message.substr(0, end + 1);
    const std::size_t quotes = line.find_first_not_of('>');
    if (quotes != std::string_view::npos && line.substr(quotes).starts_with(kFrom)) mbox << '>';
    mbox << line;
    if (!line.ends_with('\n')) mbox << '\n';
    message.remove_prefix(line.size());
  }
  mbox << '\n';
}

}  // namespace quorvel
