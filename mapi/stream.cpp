#include "mapi/stream.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace quorvel::mapi {

MemoryStream::MemoryStream(std::string bytes, CommitFn commit)
    : bytes_(std::move(bytes)), commit_(std::move(commit)) {}

HRESULT MemoryStream::Read(void* buffer, std::size_t size, std::size_t* read) {
  std::size_t n = position_ < bytes_.size() ? std::min(size, bytes_.size() - position_) : 0;
  if (n > 0) std::memcpy(buffer, bytes_.data() + position_, n);
  position_ += n;
  if (read) *read = n;
  return S_OK;
}

HRESULT MemoryStream::Write(const void* data, std::size_t size, std::size_t* written) {
  if (!commit_) {
    if (written) *written = 0;
    return MAPI_E_NO_ACCESS;
  }
  if (position_ > bytes_.size()) bytes_.resize(position_, '\0');
  std::size_t overlap = std::min(size, bytes_.size() - position_);
  bytes_.replace(position_, overlap, static_cast<const char*>(data), size);
  position_ += size;
  if (written) *written = size;
  return S_OK;
}

HRESULT MemoryStream::Seek(std::int64_t offset, SeekOrigin origin, std::uint64_t* newPosition) {
  std::int64_t base = 0;
  if (origin == SeekOrigin::kCurrent) base = static_cast<std::int64_t>(position_);
  if (origin == SeekOrigin::kEnd) base = static_cast<std::int64_t>(bytes_.size());
  std::int64_t target = base + offset;
  if (target < 0) return MAPI_E_INVALID_PARAMETER;
  position_ = static_cast<std::size_t>(target);
  if (newPosition) *newPosition = position_;
  return S_OK;
}

HRESULT MemoryStream::SetSize(std::uint64_t size) {
  if (!commit_) return MAPI_E_NO_ACCESS;
  bytes_.resize(static_cast<std::size_t>(size), '\0');
  return S_OK;
}

HRESULT MemoryStream::Commit(std::uint32_t) { return commit_ ? commit_(bytes_) : S_OK; }

Result<std::uint64_t> MemoryStream::Stat() { return Ok<std::uint64_t>(bytes_.size()); }

Result<std::string> ReadAll(Stream& stream) {
  std::string out;
  // Room for the whole stream at once when it can tell its size.
  if (Result<std::uint64_t> size = stream.Stat(); size.ok() && *size <= (std::uint64_t{1} << 26)) {
    out.reserve(static_cast<std::size_t>(*size));
  }
  char buffer[16384];
  for (;;) {
    std::size_t n = 0;
    HRESULT hr = stream.Read(buffer, sizeof buffer, &n);
    if (Failed(hr)) return hr;
    if (n == 0) break;
    out.append(buffer, n);
  }
  return Ok(std::move(out));
}

}  // namespace quorvel::mapi
