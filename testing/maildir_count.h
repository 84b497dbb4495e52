// MessageFilesIn: how many message files a Maildir folder holds (its cur/ and new/),
// as a test counts them on disk after the program under test moved mail.
#ifndef QUORVEL_TESTING_MAILDIR_COUNT_H_
#define QUORVEL_TESTING_MAILDIR_COUNT_H_

#include <cstddef>
#include <filesystem>
#include <system_error>

namespace quorvel::testing {

// A missing cur/ or new/ counts as empty.
inline std::size_t MessageFilesIn(const std::filesystem::path& folder) {
  std::size_t n = 0;
  for (const char* sub : {"cur", "new"}) {
    std::error_code ec;
    for (auto it = std::filesystem::directory_iterator(folder / sub, ec);
         !ec && it != std::filesystem::directory_iterator(); ++it) {
      ++n;
    }
  }
  return n;
}

}  // namespace quorvel::testing

#endif  // QUORVEL_TESTING_MAILDIR_COUNT_H_
