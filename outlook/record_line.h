// Text written as one line of the host's line-per-entry record files (spam-moves, a
// marking's move plan): a line break inside a Message-ID or a folder path would split
// the entry, so each becomes a space.
#ifndef QUORVEL_OUTLOOK_RECORD_LINE_H_
#define QUORVEL_OUTLOOK_RECORD_LINE_H_

#include <string>

namespace quorvel::outlook {

inline std::string OneLine(const std::string& text) {
  std::string line;
  line.reserve(text.size());
  for (char c : text) line.push_back(c == '\n' || c == '\r' ? ' ' : c);
  return line;
}

}  // namespace quorvel::outlook

#endif  // QUORVEL_OUTLOOK_RECORD_LINE_H_
