#include "lists/list_file_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/code_page.h"

namespace quorvel {
namespace {

constexpr char kCr = '\r';
constexpr char kLf = '\n';

bool IsLead(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsTrail(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// Little-endian UTF-16 bytes (an even count) to ANSI; false when a surrogate is
// unpaired, the one way such a line cannot be converted.
bool Utf16LineToAnsi(const char* bytes, std::size_t count, std::string* line) {
  std::u16string wide(count / 2, u'\0');
  for (std::size_t i = 0; i < wide.size(); ++i) {
    wide[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                    static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
  }
  for (std::size_t i = 0; i < wide.size(); ++i) {
    if (IsTrail(wide[i])) return false;
    if (IsLead(wide[i])) {
      if (i + 1 == wide.size() || !IsTrail(wide[i + 1])) return false;
      ++i;
    }
  }
  *line = platform::WideToAnsi(wide);
  return true;
}

}  // namespace

int MemoryByteSource::Read(char* buffer, std::size_t capacity, std::size_t* got) {
  const std::size_t n = std::min({capacity, maxChunk_, bytes_.size()});
  if (n > 0) std::memcpy(buffer, bytes_.data(), n);
  bytes_.remove_prefix(n);
  *got = n;
  return 0;
}

FileByteSource::~FileByteSource() {
  if (fd_ >= 0) ::close(fd_);
}

int FileByteSource::Open(const std::string& path) {
  if (fd_ >= 0) ::close(fd_);
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) return errno;
  struct stat st {};
  if (::fstat(fd_, &st) != 0 || S_ISDIR(st.st_mode)) {
    const int error = S_ISDIR(st.st_mode) ? EISDIR : errno;
    ::close(fd_);
    fd_ = -1;
    return error;
  }
  return 0;
}

int FileByteSource::Read(char* buffer, std::size_t capacity, std::size_t* got) {
  *got = 0;
  if (fd_ < 0) return EBADF;
  for (;;) {
    const ssize_t n = ::read(fd_, buffer, capacity);
    if (n >= 0) {
      *got = static_cast<std::size_t>(n);
      return 0;
    }
    if (errno != EINTR) return errno;
  }
}

ListFileReader::ListFileReader(ByteSource& source, std::size_t bufferSize)
    : source_(source), size_(std::max<std::size_t>(bufferSize, 4)) {
  buffer_ = std::make_unique<char[]>(size_);
}

bool ListFileReader::Fill() {
  if (error_ != 0) return false;  // a source that failed is not asked again
  if (position_ > 0) {
    std::memmove(buffer_.get(), buffer_.get() + position_, length_ - position_);
    length_ -= position_;
    position_ = 0;
  }
  if (length_ == size_) return false;  // one line fills the whole buffer
  std::size_t got = 0;
  if (const int error = source_.Read(buffer_.get() + length_, size_ - length_, &got)) {
    error_ = error;
    return false;
  }
  length_ += got;
  return got > 0;
}

bool ListFileReader::ReadLine(std::string* line) {
  line->clear();
  if (ended_) return false;
  if (!started_) {
    started_ = true;
    // The mark needs two bytes, which a source may hand out one at a time.
    while (length_ < 2 && Fill()) {
    }
    if (length_ >= 2 && static_cast<unsigned char>(buffer_[0]) == 0xFF &&
        static_cast<unsigned char>(buffer_[1]) == 0xFE) {
      utf16_ = true;
      position_ = 2;
    }
  }
  for (;;) {
    const char* data = buffer_.get();
    std::size_t at = position_ + scanned_;
    if (!utf16_) {
      const void* lf = at < length_ ? std::memchr(data + at, kLf, length_ - at) : nullptr;
      if (lf != nullptr) return TakeLine(static_cast<const char*>(lf) - data, line);
      at = length_;
    } else {
      for (; at + 2 <= length_; at += 2) {
        if (data[at] == kLf && data[at + 1] == 0) return TakeLine(at, line);
      }
    }
    scanned_ = at - position_;
    if (!Fill()) {
      ended_ = true;
      return false;
    }
  }
}

bool ListFileReader::TakeLine(std::size_t lineEnd, std::string* line) {
  const std::size_t unit = utf16_ ? 2 : 1;
  const char* data = buffer_.get();
  const std::size_t start = position_;
  // The LF must close a CR of the same line.
  const bool afterCr = lineEnd >= start + unit && data[lineEnd - unit] == kCr &&
                       (unit == 1 || data[lineEnd - 1] == 0);
  if (!afterCr) {
    ended_ = true;
    return false;
  }
  const std::size_t contentEnd = lineEnd - unit;
  position_ = lineEnd + unit;
  scanned_ = 0;
  if (!utf16_) {
    line->assign(data + start, contentEnd - start);
    return true;
  }
  if (!Utf16LineToAnsi(data + start, contentEnd - start, line)) {
    line->clear();
    ended_ = true;
    return false;
  }
  return true;
}

}  // namespace quorvel
