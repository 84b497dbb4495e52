// A test's own folder under the system's temporary folder, removed with everything
// in it when the object goes. Its path is empty when it could not be made.
#ifndef QUORVEL_TESTING_TEMPORARY_FOLDER_H_
#define QUORVEL_TESTING_TEMPORARY_FOLDER_H_

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

namespace quorvel::testing {

class TemporaryFolder {
 public:
  // The folder's name is `prefix` and six random characters.
  explicit TemporaryFolder(std::string_view prefix = "quorvel-test") {
    std::string pattern =
        (std::filesystem::temp_directory_path() / (std::string(prefix) + "-XXXXXX")).string();
    if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~TemporaryFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;

  const std::string& path() const { return path_; }
  std::string File(std::string_view name) const { return path_ + "/" + std::string(name); }

 private:
  std::string path_;
};

}  // namespace quorvel::testing

#endif  // QUORVEL_TESTING_TEMPORARY_FOLDER_H_
