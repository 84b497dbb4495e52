#include "lists/list_file_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>

#include "platform/code_page.h"

namespace quorvel {
namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kUtf16LineEnd{"\r\0\n\0", 4};
constexpr std::string_view kUtf16Mark = "\xFF\xFE";

// Numbers the temporary files of one process, so that two exports never share one.
std::atomic<unsigned> temporaryCount{0};

std::string FolderOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

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

AtomicFileSink::~AtomicFileSink() { Abandon(); }

void AtomicFileSink::Abandon() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temp_.empty()) ::unlink(temp_.c_str());
  temp_.clear();
}

int AtomicFileSink::Open(const std::string& path) {
  Abandon();
  path_ = path;
  struct stat existing {};
  const bool exists = ::stat(path.c_str(), &existing) == 0;
  if (exists && S_ISDIR(existing.st_mode)) return EISDIR;
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string temp = path + ".tmp-" + std::to_string(::getpid()) + "-" +
                       std::to_string(temporaryCount.fetch_add(1));
    fd_ = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ >= 0) {
      temp_ = std::move(temp);
      // The new file keeps the permissions of the one it replaces.
      if (exists && S_ISREG(existing.st_mode)) ::fchmod(fd_, existing.st_mode & 07777);
      return 0;
    }
    if (errno != EEXIST) return errno;
  }
  return EEXIST;
}

int AtomicFileSink::Write(std::string_view bytes) {
  if (fd_ < 0) return EBADF;
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return 0;
}

int AtomicFileSink::Commit() {
  if (fd_ < 0) return EBADF;
  int error = 0;
  if (::fsync(fd_) != 0) error = errno;
  if (::close(fd_) != 0 && error == 0) error = errno;
  fd_ = -1;
  if (error == 0 && ::rename(temp_.c_str(), path_.c_str()) != 0) error = errno;
  if (error != 0) {
    Abandon();
    return error;
  }
  temp_.clear();
  // Makes the rename itself durable.
  const int folder = ::open(FolderOf(path_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) {
    ::fsync(folder);
    ::close(folder);
  }
  return 0;
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
