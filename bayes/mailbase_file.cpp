#include "bayes/mailbase_file.h"

#include <bit>
#include <cstring>
#include <vector>

namespace quorvel {
namespace {

std::uint32_t LoadLittle32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
         std::uint32_t{p[3]} << 24;
}

std::uint64_t LoadLittle64(const std::uint8_t* p) {
  return std::uint64_t{LoadLittle32(p)} | std::uint64_t{LoadLittle32(p + 4)} << 32;
}

}  // namespace

const std::uint8_t* FileReader::Take(std::size_t n) {
  if (n > remaining()) {
    position_ = bytes_.size();
    return nullptr;
  }
  const std::uint8_t* p = bytes_.data() + position_;
  position_ += n;
  return p;
}

bool FileReader::ReadBytes(bool scrambled, std::size_t n, std::uint8_t* out) {
  const std::uint8_t* p = Take(n);
  if (p == nullptr) return false;
  const std::uint8_t mask = scrambled ? kScrambleByte : 0;
  for (std::size_t i = 0; i < n; ++i) out[i] = p[i] ^ mask;
  return true;
}

bool FileReader::ReadInt32(bool scrambled, std::int32_t* value) {
  std::uint8_t b[4];
  if (!ReadBytes(scrambled, 4, b)) return false;
  *value = static_cast<std::int32_t>(LoadLittle32(b));
  return true;
}

bool FileReader::ReadDouble(bool scrambled, double* value) {
  std::uint8_t b[8];
  if (!ReadBytes(scrambled, 8, b)) return false;
  *value = std::bit_cast<double>(LoadLittle64(b));
  return true;
}

bool FileReader::ReadText(bool scrambled, std::size_t length, std::u16string* out) {
  if (length > remaining() / 2) {
    Take(remaining() + 1);
    return false;
  }
  const std::uint8_t* p = Take(2 * length);
  const std::uint8_t mask = scrambled ? kScrambleByte : 0;
  std::size_t start = out->size();
  out->resize(start + length);
  char16_t* dest = out->data() + start;
  for (std::size_t i = 0; i < length; ++i) {
    dest[i] = static_cast<char16_t>((p[2 * i] ^ mask) | (p[2 * i + 1] ^ mask) << 8);
  }
  return true;
}

void FileWriter::Put(bool scrambled, const std::uint8_t* data, std::size_t n) {
  const std::uint8_t mask = scrambled ? kScrambleByte : 0;
  std::size_t start = bytes_.size();
  bytes_.resize(start + n);
  for (std::size_t i = 0; i < n; ++i) bytes_[start + i] = static_cast<char>(data[i] ^ mask);
}

void FileWriter::Int32(bool scrambled, std::int32_t value) {
  auto v = static_cast<std::uint32_t>(value);
  std::uint8_t b[4] = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                       static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
  Put(scrambled, b, 4);
}

void FileWriter::Double(bool scrambled, double value) {
  auto v = std::bit_cast<std::uint64_t>(value);
  std::uint8_t b[8];
  for (int i = 0; i < 8; ++i) b[i] = static_cast<std::uint8_t>(v >> (8 * i));
  Put(scrambled, b, 8);
}

void FileWriter::LengthAndText(bool scrambled, std::u16string_view text) {
  Int32(scrambled, static_cast<std::int32_t>(text.size()));
  const std::uint8_t mask = scrambled ? kScrambleByte : 0;
  std::size_t start = bytes_.size();
  bytes_.resize(start + 2 * text.size());
  char* dest = bytes_.data() + start;
  for (std::size_t i = 0; i < text.size(); ++i) {
    dest[2 * i] = static_cast<char>((text[i] & 0xFF) ^ mask);
    dest[2 * i + 1] = static_cast<char>((text[i] >> 8) ^ mask);
  }
}

void FileWriter::Bytes(bool scrambled, std::string_view bytes) {
  Put(scrambled, reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

platform::FileStatus ReplaceFileWithBackup(platform::FileSystem& files, const std::string& path,
                                           std::string_view bytes,
                                           bool (*isGood)(std::string_view bytes)) {
  const std::string backup = path + std::string(kBackupSuffix);
  files.MakeWritable(path);
  files.MakeWritable(backup);
  const std::string folder = platform::FolderOfPath(path);
  if (platform::FileStatus status = files.CreateFolders(folder); !status.ok()) return status;
  std::string old;
  if (files.ReadFile(path, &old).ok() && isGood(old)) {
    if (platform::FileStatus status = files.WriteFileAtomic(backup, old); !status.ok()) {
      return status;
    }
  }
  return files.WriteFileAtomic(path, bytes);
}

}  // namespace quorvel
