// For tests: builds mail base files byte by byte, independently of FileWriter, and
// a temporary folder that is removed afterwards.
#ifndef QUORVEL_BAYES_TEST_BYTES_H_
#define QUORVEL_BAYES_TEST_BYTES_H_

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "bayes/mailbase_file.h"
#include "testing/temporary_folder.h"

namespace quorvel::testing_bytes {

class Bytes {
 public:
  // Every byte added while scrambling is on is XORed with kScrambleByte.
  Bytes& Scrambled(bool on) {
    mask_ = on ? kScrambleByte : 0;
    return *this;
  }
  Bytes& U8(std::uint8_t b) {
    data_.push_back(static_cast<char>(b ^ mask_));
    return *this;
  }
  Bytes& I32(std::int32_t v) {
    auto u = static_cast<std::uint32_t>(v);
    for (int i = 0; i < 4; ++i) U8(static_cast<std::uint8_t>(u >> (8 * i)));
    return *this;
  }
  Bytes& F64(double d) {
    std::uint64_t u;
    std::memcpy(&u, &d, 8);
    for (int i = 0; i < 8; ++i) U8(static_cast<std::uint8_t>(u >> (8 * i)));
    return *this;
  }
  Bytes& Units(std::u16string_view s) {
    for (char16_t c : s)
      U8(static_cast<std::uint8_t>(c & 0xFF)).U8(static_cast<std::uint8_t>(c >> 8));
    return *this;
  }
  Bytes& Text(std::u16string_view s) { return I32(static_cast<std::int32_t>(s.size())).Units(s); }
  Bytes& Narrow(std::string_view s) {
    for (char c : s) U8(static_cast<std::uint8_t>(c));
    return *this;
  }
  std::size_t size() const { return data_.size(); }
  const std::string& str() const { return data_; }

 private:
  std::string data_;
  std::uint8_t mask_ = 0;
};

// The bayes tests' name for a temporary folder.
using TempFolder = testing::TemporaryFolder;

inline void WriteFile(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace quorvel::testing_bytes

#endif  // QUORVEL_BAYES_TEST_BYTES_H_
