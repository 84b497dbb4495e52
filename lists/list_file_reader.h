// Reading the lines of a list file through one fixed buffer.
//
// A list file is text in lines ended by CR LF or LF (the last line may have no end).
// It is in the ANSI code page unless it begins with a byte-order mark: 0xFF 0xFE for
// UTF-16 little-endian, 0xFE 0xFF for UTF-16 big-endian, 0xEF 0xBB 0xBF for UTF-8;
// each line is then converted to the ANSI code page. A line that cannot be used (one
// longer than the buffer, a UTF-16 line with an unpaired surrogate) is skipped and
// noted in Problems(); reading goes on with the next line.
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
#include <vector>

#include "platform/file_system.h"

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

// A file opened through the file layer, read from its start.
class FileByteSource final : public ByteSource {
 public:
  explicit FileByteSource(platform::FileSystem& files = platform::RealFileSystem())
      : files_(files) {}

  // Returns 0 or the OS error code; a folder is refused with EISDIR.
  int Open(const std::string& path);
  int Read(char* buffer, std::size_t capacity, std::size_t* got) override;

 private:
  platform::FileSystem& files_;
  std::unique_ptr<platform::ReadableFile> file_;
};

class ListFileReader {
 public:
  enum class Encoding { kAnsi, kUtf16Le, kUtf16Be, kUtf8 };

  // The source must outlive the reader. `bufferSize` (at least 4) is the longest run
  // of bytes a line and its line end may take.
  explicit ListFileReader(ByteSource& source, std::size_t bufferSize = kListFileBufferSize);

  // The next line without its line end, in the ANSI code page. False at the end of
  // the data or after a failed read; it then stays ended.
  bool ReadLine(std::string* line);

  // The OS error of a failed read (0 when reading ended at the end of the data).
  int Error() const { return error_; }
  // The number of the line ReadLine returned last (the first line is 1).
  std::size_t LineNumber() const { return lineNumber_; }
  // One text per line that was skipped ("line 7: longer than 65536 bytes, skipped"),
  // in line order.
  const std::vector<std::string>& Problems() const { return problems_; }

  // What the byte-order mark said (known after the first ReadLine).
  Encoding encoding() const { return encoding_; }
  bool IsUtf16() const {
    return encoding_ == Encoding::kUtf16Le || encoding_ == Encoding::kUtf16Be;
  }

 private:
  // Reads more after the unread bytes; false at the end, on an error or when the
  // buffer is full of one line.
  bool Fill();
  void ReadMark();
  void NoteSkipped(std::string_view why);  // the line of lineNumber_
  // Converts the bytes [start, end) without their line end into *line; false (with
  // a problem noted) when the line cannot be used.
  bool TakeLine(std::size_t start, std::size_t end, std::string* line);

  ByteSource& source_;
  std::unique_ptr<char[]> buffer_;
  std::size_t size_;
  std::size_t position_ = 0;  // first unread byte
  std::size_t length_ = 0;    // bytes held
  std::size_t scanned_ = 0;   // unread bytes already searched for LF
  bool started_ = false;
  bool ended_ = false;
  bool skipping_ = false;  // inside a line longer than the buffer
  Encoding encoding_ = Encoding::kAnsi;
  std::size_t lineNumber_ = 0;
  std::vector<std::string> problems_;
  int error_ = 0;
};

}  // namespace quorvel

#endif  // QUORVEL_LISTS_LIST_FILE_READER_H_
