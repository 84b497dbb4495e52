#include "lists/list_file_writer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/code_page.h"

namespace quorvel {
namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kUtf16LineEnd{"\r\0\n\0", 4};
constexpr std::string_view kUtf16Mark = "\xFF\xFE";

}  // namespace

std::string AnsiToUtf16Le(std::string_view ansi) {
  std::string bytes;
  bytes.reserve(ansi.size() * 2);
  for (char16_t unit : platform::AnsiToWide(ansi)) {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
  }
  return bytes;
}

int AtomicFileSink::Open(const std::string& path) {
  file_.reset();
  return files_.NewAtomicFile(path, &file_).code();
}

int AtomicFileSink::Write(std::string_view bytes) {
  if (!file_) return EBADF;
  return file_->Append(bytes).code();
}

int AtomicFileSink::Commit() {
  if (!file_) return EBADF;
  const int error = file_->Commit().code();
  file_.reset();
  return error;
}

ListFileWriter::ListFileWriter(ByteSink& sink, std::size_t bufferSize, Encoding encoding)
    : sink_(sink), size_(std::max<std::size_t>(bufferSize, 4)), encoding_(encoding) {
  buffer_ = std::make_unique<char[]>(size_);
  if (encoding_ == Encoding::kUtf16) {
    std::memcpy(buffer_.get(), kUtf16Mark.data(), kUtf16Mark.size());
    length_ = kUtf16Mark.size();
  }
}

int ListFileWriter::WriteLine(std::string_view text) {
  if (encoding_ == Encoding::kUtf16) return Put(AnsiToUtf16Le(text), kUtf16LineEnd);
  return Put(text, kLineEnd);
}

int ListFileWriter::Put(std::string_view text, std::string_view lineEnd) {
  if (error_ != 0) return error_;
  const std::size_t need = text.size() + lineEnd.size();
  if (need > size_ - length_ && Flush() != 0) return error_;
  if (need <= size_) {
    std::memcpy(buffer_.get() + length_, text.data(), text.size());
    std::memcpy(buffer_.get() + length_ + text.size(), lineEnd.data(), lineEnd.size());
    length_ += need;
    return 0;
  }
  // A line longer than the whole buffer goes out directly (the buffer is empty now).
  error_ = sink_.Write(text);
  if (error_ == 0) error_ = sink_.Write(lineEnd);
  return error_;
}

int ListFileWriter::Flush() {
  if (error_ != 0) return error_;
  if (length_ == 0) return 0;
  error_ = sink_.Write(std::string_view(buffer_.get(), length_));
  length_ = 0;
  return error_;
}

}  // namespace quorvel
