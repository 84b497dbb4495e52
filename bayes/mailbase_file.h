// Byte-level reading and writing of the mail base files ("Bayes.raw", "Bayes.db").
//
// Integers are little-endian, texts UTF-16LE preceded by their length in code units.
// Scrambled bytes are XORed one by one with kScrambleByte. A FileReader works on the
// whole file in memory and behaves like a short read from a file: a read that asks
// for more than is left consumes the rest and fails, and nothing is ever allocated
// beyond what the file holds.
//
// ReplaceFileWithBackup keeps the files' own rule of copying the old file to its
// ".bak" first, and replaces both files atomically.
#ifndef QUORVEL_BAYES_MAILBASE_FILE_H_
#define QUORVEL_BAYES_MAILBASE_FILE_H_

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "platform/file_system.h"

namespace quorvel {

inline constexpr std::uint8_t kScrambleByte = 0xA5;
inline constexpr std::int32_t kMailbaseVersion = 37;
inline constexpr std::int32_t kMaxTokenLength = 65536;
inline constexpr std::string_view kBackupSuffix = ".bak";

class FileReader {
 public:
  explicit FileReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  bool AtEnd() const { return position_ >= bytes_.size(); }
  std::size_t remaining() const { return bytes_.size() - position_; }

  bool ReadInt32(bool scrambled, std::int32_t* value);
  bool ReadDouble(bool scrambled, double* value);
  // Reads `length` code units (2 * length bytes) and appends them to *out.
  bool ReadText(bool scrambled, std::size_t length, std::u16string* out);
  // Reads n bytes into out (which must hold n).
  bool ReadBytes(bool scrambled, std::size_t n, std::uint8_t* out);

 private:
  // Claims n bytes; when fewer are left, consumes them and fails.
  const std::uint8_t* Take(std::size_t n);

  std::span<const std::uint8_t> bytes_;
  std::size_t position_ = 0;
};

class FileWriter {
 public:
  void Int32(bool scrambled, std::int32_t value);
  void Double(bool scrambled, double value);
  // The text's length as a 32-bit value, then its code units.
  void LengthAndText(bool scrambled, std::u16string_view text);
  void Bytes(bool scrambled, std::string_view bytes);

  const std::string& bytes() const { return bytes_; }
  void Reserve(std::size_t n) { bytes_.reserve(n); }

 private:
  void Put(bool scrambled, const std::uint8_t* data, std::size_t n);
  std::string bytes_;
};

// Makes the file and its ".bak" writable (missing files and links are left alone),
// copies the file to its ".bak" when `isGood` accepts its bytes (a damaged file
// never replaces a good backup), then replaces the file with `bytes` (creating its
// folder when missing). Each file is replaced atomically.
platform::FileStatus ReplaceFileWithBackup(platform::FileSystem& files, const std::string& path,
                                           std::string_view bytes,
                                           bool (*isGood)(std::string_view bytes));

}  // namespace quorvel

#endif  // QUORVEL_BAYES_MAILBASE_FILE_H_
