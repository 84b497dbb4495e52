// Slurp and Spit: a test's whole-file read and write, for files the program under test
// reads or leaves behind. A file that cannot be read reads as empty; the test's own
// expectations then say what was missing.
#ifndef QUORVEL_TESTING_FILE_BYTES_H_
#define QUORVEL_TESTING_FILE_BYTES_H_

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace quorvel::testing {

inline std::string Slurp(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Writes `bytes` as the whole of `path`, creating its folders.
inline void Spit(const std::filesystem::path& path, const std::string& bytes) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

}  // namespace quorvel::testing

#endif  // QUORVEL_TESTING_FILE_BYTES_H_
