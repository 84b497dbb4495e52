// Formats text into a 1,024-byte buffer and writes it to a descriptor with write(2):
// no allocation, no locale, no stdio, so that the signal handler can use it.
// One writer per thread; a write that fails is remembered (ok()) and later ones skipped.
#ifndef QUORVEL_CRASH_SAFE_WRITER_H_
#define QUORVEL_CRASH_SAFE_WRITER_H_

#include <cstddef>
#include <cstdint>

namespace quorvel::crash {

class SafeWriter {
 public:
  static constexpr std::size_t kBufferSize = 1024;

  explicit SafeWriter(int fd) : fd_(fd) {}
  ~SafeWriter() { Flush(); }
  SafeWriter(const SafeWriter&) = delete;
  SafeWriter& operator=(const SafeWriter&) = delete;

  SafeWriter& Text(const char* text);
  SafeWriter& Text(const char* text, std::size_t size);
  // Upper-case hexadecimal, zero-padded to at least `width` digits.
  SafeWriter& Hex(std::uint64_t value, int width);
  // Decimal, zero-padded to at least `width` digits.
  SafeWriter& Dec(std::uint64_t value, int width);
  // Writes what is buffered; the report calls it after each piece.
  void Flush();
  bool ok() const { return ok_; }

 private:
  SafeWriter& Digits(std::uint64_t value, int width, unsigned base);

  int fd_;
  bool ok_ = true;
  std::size_t used_ = 0;
  char buffer_[kBufferSize];
};

}  // namespace quorvel::crash

#endif  // QUORVEL_CRASH_SAFE_WRITER_H_
