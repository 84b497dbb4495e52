#include "crash/safe_writer.h"

#include <unistd.h>

#include <cerrno>

namespace quorvel::crash {

SafeWriter& SafeWriter::Text(const char* text) {
  std::size_t size = 0;
  while (text[size] != '\0') ++size;
  return Text(text, size);
}

SafeWriter& SafeWriter::Text(const char* text, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i) {
    if (used_ == kBufferSize) Flush();
    buffer_[used_++] = text[i];
  }
  return *this;
}

SafeWriter& SafeWriter::Hex(std::uint64_t value, int width) { return Digits(value, width, 16); }

SafeWriter& SafeWriter::Dec(std::uint64_t value, int width) { return Digits(value, width, 10); }

SafeWriter& SafeWriter::Digits(std::uint64_t value, int width, unsigned base) {
  char digits[24];
  int n = 0;
  do {
    digits[n++] = "0123456789ABCDEF"[value % base];
    value /= base;
  } while (value != 0);
  while (n < width && n < static_cast<int>(sizeof digits)) digits[n++] = '0';
  char text[24];
  for (int i = 0; i < n; ++i) text[i] = digits[n - 1 - i];
  return Text(text, static_cast<std::size_t>(n));
}

void SafeWriter::Flush() {
  std::size_t done = 0;
  while (ok_ && done < used_) {
    const ssize_t wrote = write(fd_, buffer_ + done, used_ - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) {
      ok_ = false;
      break;
    }
    done += static_cast<std::size_t>(wrote);
  }
  used_ = 0;
}

}  // namespace quorvel::crash
