#include "lists/archive.h"

#include <utility>

namespace quorvel {

namespace {

constexpr std::uint16_t kCountEscape = 0xFFFF;
constexpr std::uint8_t kStringEscape = 0xFF;
constexpr std::uint16_t kLongStringEscape = 0xFFFF;
// A 16-bit length of 0xFFFE announces a wide string in this archive family; no
// writer of ours produces one, so reading it is refused rather than guessed at.
constexpr std::uint16_t kWideStringMarker = 0xFFFE;

void AppendLe(std::string* out, std::uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out->push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

}  // namespace

Archive Archive::ForStoring() { return Archive(true, {}, 0, false); }

Archive Archive::ForLoading(std::string_view image, platform::FileTime loadTime,
                            bool singleObject) {
  return Archive(false, image, loadTime, singleObject);
}

void Archive::WriteCount(std::size_t count) {
  if (count < kCountEscape) {
    AppendLe(&image_, count, 2);
    return;
  }
  AppendLe(&image_, kCountEscape, 2);
  AppendLe(&image_, count, 4);
}

void Archive::WriteString(std::string_view text) {
  const std::size_t length = text.size();
  if (length < kStringEscape) {
    AppendLe(&image_, length, 1);
  } else if (length < kWideStringMarker) {
    AppendLe(&image_, kStringEscape, 1);
    AppendLe(&image_, length, 2);
  } else {
    AppendLe(&image_, kStringEscape, 1);
    AppendLe(&image_, kLongStringEscape, 2);
    AppendLe(&image_, length, 4);
  }
  image_.append(text);
}

void Archive::Fail(std::string error) {
  if (status_.Ok()) status_.error = std::move(error);
}

bool Archive::Take(std::size_t n, const unsigned char** bytes) {
  if (!status_.Ok()) return false;
  if (n > Remaining()) {
    Fail("the image ends in the middle of an item");
    return false;
  }
  *bytes = reinterpret_cast<const unsigned char*>(input_.data()) + position_;
  position_ += n;
  return true;
}

bool Archive::ReadU8(std::uint8_t* value) {
  const unsigned char* p = nullptr;
  if (!Take(1, &p)) return false;
  *value = p[0];
  return true;
}

bool Archive::ReadU16(std::uint16_t* value) {
  const unsigned char* p = nullptr;
  if (!Take(2, &p)) return false;
  *value = static_cast<std::uint16_t>(p[0] | (p[1] << 8));
  return true;
}

bool Archive::ReadU32(std::uint32_t* value) {
  const unsigned char* p = nullptr;
  if (!Take(4, &p)) return false;
  *value = static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
  return true;
}

bool Archive::ReadCount(std::uint32_t* count, std::size_t minItemBytes) {
  std::uint16_t shortCount = 0;
  if (!ReadU16(&shortCount)) return false;
  std::uint32_t value = shortCount;
  if (shortCount == kCountEscape && !ReadU32(&value)) return false;
  if (minItemBytes > 0 && value > Remaining() / minItemBytes) {
    Fail("a count promises more items than the image holds");
    return false;
  }
  *count = value;
  return true;
}

bool Archive::ReadString(std::string* text) {
  std::uint8_t shortLength = 0;
  if (!ReadU8(&shortLength)) return false;
  std::uint32_t length = shortLength;
  if (shortLength == kStringEscape) {
    std::uint16_t midLength = 0;
    if (!ReadU16(&midLength)) return false;
    length = midLength;
    if (midLength == kWideStringMarker) {
      Fail("the image holds a wide string");
      return false;
    }
    if (midLength == kLongStringEscape && !ReadU32(&length)) return false;
  }
  if (length > Remaining()) {
    Fail("a string is longer than the rest of the image");
    return false;
  }
  if (length == 0) {
    text->clear();
    return true;
  }
  const unsigned char* p = nullptr;
  Take(length, &p);
  text->assign(reinterpret_cast<const char*>(p), length);
  return true;
}

bool Archive::ObjectLoaded() {
  if (!status_.Ok()) return false;
  if (singleObject_ && !AtEnd()) {
    Fail("bytes follow the end of the image");
    return false;
  }
  return true;
}

std::string WriteImage(Serializable& object) {
  Archive archive = Archive::ForStoring();
  object.Serialize(archive);
  return archive.Image();
}

ArchiveStatus ReadImage(Serializable& object, std::string_view image, platform::FileTime loadTime) {
  Archive archive = Archive::ForLoading(image, loadTime);
  return object.Serialize(archive);
}

}  // namespace quorvel
