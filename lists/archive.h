// The little-endian object archive in which containers store themselves.
//
// Layout:
//   count   16-bit value below 0xFFFF; else 0xFFFF followed by a 32-bit count.
//   string  length in bytes, then the bytes (no terminator). Length below 255: one
//           byte. Below 0xFFFE: 0xFF and a 16-bit length. Longer: 0xFF, 0xFFFF and a
//           32-bit length.
//
// An Archive is either storing (it appends to its own buffer) or loading (it reads a
// caller's image, which must outlive it). Loading never trusts the image: a count or
// length that the remaining bytes cannot hold is refused before anything is
// allocated, and the first failure sticks (every later read fails too).
//
// Not thread-safe; one archive belongs to one caller.
#ifndef QUORVEL_LISTS_ARCHIVE_H_
#define QUORVEL_LISTS_ARCHIVE_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/clock.h"

namespace quorvel {

// The outcome of writing or reading an image: empty `error` means success.
struct ArchiveStatus {
  std::string error;
  bool Ok() const { return error.empty(); }
};

class Archive {
 public:
  // An archive that collects an image in Image().
  static Archive ForStoring();
  // An archive that reads `image`. `loadTime` is the time that loaded items which
  // carry a time of use (list entries) are given. With `singleObject` the image must
  // hold exactly one object: bytes left after it are damage (see ObjectLoaded).
  static Archive ForLoading(std::string_view image, platform::FileTime loadTime,
                            bool singleObject = true);

  bool IsStoring() const { return storing_; }
  platform::FileTime LoadTime() const { return loadTime_; }

  // Storing.
  void WriteCount(std::size_t count);
  void WriteString(std::string_view text);
  const std::string& Image() const { return image_; }

  // Loading. Each returns false (and records the failure) when the image is
  // damaged. ReadCount also refuses a count of items that the rest of the image
  // cannot hold when each item takes at least `minItemBytes` bytes.
  bool ReadCount(std::uint32_t* count, std::size_t minItemBytes);
  bool ReadString(std::string* text);
  bool AtEnd() const { return position_ == input_.size(); }
  std::size_t Remaining() const { return input_.size() - position_; }

  // Called by a container after reading its part and before replacing its
  // content: false when an earlier read failed, or when the archive holds a single
  // object and bytes are left over.
  bool ObjectLoaded();

  // The first failure of a read, or success.
  const ArchiveStatus& Status() const { return status_; }
  // Records a failure found by the caller (keeps an earlier one).
  void Fail(std::string error);

 private:
  Archive(bool storing, std::string_view input, platform::FileTime loadTime, bool single)
      : storing_(storing), singleObject_(single), input_(input), loadTime_(loadTime) {}
  bool Take(std::size_t n, const unsigned char** bytes);
  bool ReadU8(std::uint8_t* value);
  bool ReadU16(std::uint16_t* value);
  bool ReadU32(std::uint32_t* value);

  bool storing_;
  bool singleObject_;
  std::string image_;
  std::string_view input_;
  std::size_t position_ = 0;
  platform::FileTime loadTime_ = 0;
  ArchiveStatus status_;
};

// A container that stores and loads itself through one archive operation. Loading
// replaces the container's content only when the whole of its part of the image
// was read; on failure the container is left as it was.
class Serializable {
 public:
  virtual ~Serializable() = default;
  virtual ArchiveStatus Serialize(Archive& archive) = 0;

 protected:
  Serializable() = default;
  Serializable(const Serializable&) = default;
  Serializable& operator=(const Serializable&) = default;
};

// The whole image of `object`.
std::string WriteImage(Serializable& object);
// Loads `object` from `image`, which must hold exactly one object: bytes left over
// after it are refused as damage. On any failure the object is left as it was.
ArchiveStatus ReadImage(Serializable& object, std::string_view image, platform::FileTime loadTime);

}  // namespace quorvel

#endif  // QUORVEL_LISTS_ARCHIVE_H_
