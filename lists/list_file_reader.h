// Reading the lines of a list file through one fixed buffer.
//
// A list file is text in lines ended by CR LF, in the ANSI code page or, when it
// begins with the bytes 0xFF 0xFE, in UTF-16 little-endian (each line is then
// converted to the ANSI code page). Reading is forgiving and stops quietly at the
// first line it cannot take: a final line without CR LF, an LF not preceded by CR, a
// line longer than the buffer, or a UTF-16 line that is not well-formed (an unpaired
// surrogate). What was read before stays read.
//
// The bytes come from a ByteSource, so the same reader serves files and memory.
//
// Thread-safety: none; one reader and its source belong to one thread.
#ifndef QUORVEL_LISTS_LIST_FILE_READER_H_
#define QUORVEL_LISTS_LIST_FILE_READER_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace quorvel {

// The size of the one buffer a list file is read and written through.
inline constexpr std::size_t kListFileBufferSize = 65536;

// Where a reader gets its bytes.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Reads up to `capacity` bytes into `buffer`; *got = 0 at the end of the data.
  // Returns 0 or an OS error code (errno value).
  virtual int Read(char* buffer, std::size_t capacity, std::size_t* got) = 0;
};

// Bytes held in memory (not owned; they must outlive the source). `maxChunk` limits
// what one Read hands out, to behave like a file that arrives in pieces.
class MemoryByteSource final : public ByteSource {
 public:
  explicit MemoryByteSource(std::string_view bytes, std::size_t maxChunk = SIZE_MAX)
      : bytes_(bytes), maxChunk_(maxChunk == 0 ? 1 : maxChunk) {}
  int Read(char* buffer, std::size_t capacity, std::size_t* got) override;

 private:
  std::string_view bytes_;
  std::size_t maxChunk_;
};

// An existing file opened for reading (shared reading). Closed on destruction.
class FileByteSource final : public ByteSource {
 public:
  FileByteSource() = default;
  ~FileByteSource() override;
  FileByteSource(const FileByteSource&) = delete;
  FileByteSource& operator=(const FileByteSource&) = delete;

  // Returns 0 or the OS error code; a folder is refused with EISDIR.
  int Open(const std::string& path);
  int Read(char* buffer, std::size_t capacity, std::size_t* got) override;

 private:
  int fd_ = -1;
};

class ListFileReader {
 public:
  // The source must outlive the reader. `bufferSize` (at least 4) is the longest run
  // of bytes a line and its CR LF may take.
  explicit ListFileReader(ByteSource& source, std::size_t bufferSize = kListFileBufferSize);

  // The next line without its CR LF, in the ANSI code page. False when reading has
  // ended (see above); it then stays ended.
  bool ReadLine(std::string* line);

  // The OS error of a failed read (0 when reading ended for any other reason).
  int Error() const { return error_; }
  // Whether the data began with the UTF-16 mark (known after the first ReadLine).
  bool IsUtf16() const { return utf16_; }

 private:
  // Reads more after the unread bytes; false at the end, on an error or when the
  // buffer is full of one line.
  bool Fill();
  bool TakeLine(std::size_t lineEnd, std::string* line);

  ByteSource& source_;
  std::unique_ptr<char[]> buffer_;
  std::size_t size_;
  std::size_t position_ = 0;  // first unread byte
  std::size_t length_ = 0;    // bytes held
  std::size_t scanned_ = 0;   // unread bytes already searched for LF
  bool started_ = false;
  bool utf16_ = false;
  bool ended_ = false;
  int error_ = 0;
};

}  // namespace quorvel

#endif  // QUORVEL_LISTS_LIST_FILE_READER_H_
