// Stream: a byte stream on a property (OpenProperty) or on decompressed RTF, modelled
// on the structured-storage stream. Not thread-safe: one stream belongs to one thread.
#ifndef QUORVEL_MAPI_STREAM_H_
#define QUORVEL_MAPI_STREAM_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "mapi/result.h"

namespace quorvel::mapi {

enum class SeekOrigin { kBegin, kCurrent, kEnd };

class Stream {
 public:
  virtual ~Stream() = default;
  // Reads up to `size` bytes into `buffer`; `*read` is the count (0 at the end).
  virtual HRESULT Read(void* buffer, std::size_t size, std::size_t* read) = 0;
  // Writes at the current position; MAPI_E_NO_ACCESS on a read-only stream.
  virtual HRESULT Write(const void* data, std::size_t size, std::size_t* written) = 0;
  virtual HRESULT Seek(std::int64_t offset, SeekOrigin origin, std::uint64_t* newPosition) = 0;
  virtual HRESULT SetSize(std::uint64_t size) = 0;
  // Makes written bytes part of the property (the object still needs SaveChanges).
  virtual HRESULT Commit(std::uint32_t flags) = 0;
  // The stream's size in bytes.
  virtual Result<std::uint64_t> Stat() = 0;
};

// A stream over bytes held in memory. With a commit callback the stream is writable
// and Commit hands the whole content to it; without one it is read-only.
class MemoryStream final : public Stream {
 public:
  using CommitFn = std::function<HRESULT(const std::string&)>;
  explicit MemoryStream(std::string bytes, CommitFn commit = nullptr);

  HRESULT Read(void* buffer, std::size_t size, std::size_t* read) override;
  HRESULT Write(const void* data, std::size_t size, std::size_t* written) override;
  HRESULT Seek(std::int64_t offset, SeekOrigin origin, std::uint64_t* newPosition) override;
  HRESULT SetSize(std::uint64_t size) override;
  HRESULT Commit(std::uint32_t flags) override;
  Result<std::uint64_t> Stat() override;

  const std::string& bytes() const { return bytes_; }
  // The bytes from the current position to the end.
  std::string_view unread() const {
    return std::string_view(bytes_).substr(position_ < bytes_.size() ? position_ : bytes_.size());
  }

 private:
  std::string bytes_;
  std::size_t position_ = 0;
  CommitFn commit_;
};

// Reads a stream from its current position to the end. Fails with the first failed
// read's code.
Result<std::string> ReadAll(Stream& stream);

}  // namespace quorvel::mapi

#endif  // QUORVEL_MAPI_STREAM_H_
