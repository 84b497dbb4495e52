// Writing the lines of a list file through one fixed buffer.
//
// Lines are gathered in a buffer of kListFileBufferSize bytes and handed to a
// ByteSink whenever the next line does not fit, and at Flush. A file is never
// rewritten in place: AtomicFileSink puts the new file in place only when everything
// was written, so a failed export leaves the old file as it was.
//
// Thread-safety: none; a writer and its sink belong to one thread.
#ifndef QUORVEL_LISTS_LIST_FILE_WRITER_H_
#define QUORVEL_LISTS_LIST_FILE_WRITER_H_

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "lists/list_file_reader.h"
#include "platform/file_system.h"

namespace quorvel {

// ANSI text as UTF-16 little-endian bytes (no mark), as a UTF-16 list file holds it.
std::string AnsiToUtf16Le(std::string_view ansi);

// Where a writer puts its bytes.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  // Writes all of `bytes`; returns 0 or an OS error code (errno value).
  virtual int Write(std::string_view bytes) = 0;
};

// Bytes gathered in memory.
class StringByteSink final : public ByteSink {
 public:
  int Write(std::string_view bytes) override {
    bytes_.append(bytes);
    return 0;
  }
  const std::string& Bytes() const { return bytes_; }

 private:
  std::string bytes_;
};

// A new file that replaces `path` at Commit (see platform/file_system.h: written
// beside it, flushed, renamed over it; a link's target is replaced, a device written
// directly). Destroyed without a successful Commit, it leaves `path` as it was.
class AtomicFileSink final : public ByteSink {
 public:
  explicit AtomicFileSink(platform::FileSystem& files = platform::RealFileSystem())
      : files_(files) {}

  // Starts the new file; returns 0 or the OS error code.
  int Open(const std::string& path);
  int Write(std::string_view bytes) override;
  // Puts the new file in place; returns 0 or the OS error code.
  int Commit();

 private:
  platform::FileSystem& files_;
  std::unique_ptr<platform::AtomicFile> file_;
};

class ListFileWriter {
 public:
  enum class Encoding { kAnsi, kUtf16 };

  // The sink must outlive the writer. `bufferSize` is at least 4. With kUtf16 the
  // file begins with the mark 0xFF 0xFE and each line is written as UTF-16
  // little-endian.
  explicit ListFileWriter(ByteSink& sink, std::size_t bufferSize = kListFileBufferSize,
                          Encoding encoding = Encoding::kAnsi);

  // Appends `text` and CR LF. Returns 0 or the error of a failed write; after a
  // failure every later call returns that error and writes nothing.
  int WriteLine(std::string_view text);
  // Hands what is buffered to the sink.
  int Flush();

 private:
  // Appends both pieces together, as one line.
  int Put(std::string_view text, std::string_view lineEnd);

  ByteSink& sink_;
  std::unique_ptr<char[]> buffer_;
  std::size_t size_;
  std::size_t length_ = 0;
  int error_ = 0;
  Encoding encoding_;
};

}  // namespace quorvel

#endif  // QUORVEL_LISTS_LIST_FILE_WRITER_H_
