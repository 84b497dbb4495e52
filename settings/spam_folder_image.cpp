#include "settings/spam_folder_image.h"

#include <cstdint>
#include <utility>

namespace quorvel {
namespace {

void PutU8(std::string* out, std::uint32_t v) { out->push_back(static_cast<char>(v & 0xFF)); }
void PutU16(std::string* out, std::uint32_t v) {
  PutU8(out, v);
  PutU8(out, v >> 8);
}
void PutU32(std::string* out, std::uint32_t v) {
  PutU16(out, v & 0xFFFF);
  PutU16(out, v >> 16);
}

void PutCount(std::string* out, std::size_t count) {
  if (count < 0xFFFF) {
    PutU16(out, static_cast<std::uint32_t>(count));
  } else {
    PutU16(out, 0xFFFF);
    PutU32(out, static_cast<std::uint32_t>(count));
  }
}

void PutString(std::string* out, std::string_view text) {
  std::size_t n = text.size();
  if (n < 255) {
    PutU8(out, static_cast<std::uint32_t>(n));
  } else if (n < 0xFFFE) {
    PutU8(out, 0xFF);
    PutU16(out, static_cast<std::uint32_t>(n));
  } else {
    PutU8(out, 0xFF);
    PutU16(out, 0xFFFF);
    PutU32(out, static_cast<std::uint32_t>(n));
  }
  out->append(text);
}

void PutWide(std::string* out, std::u16string_view text) {
  PutCount(out, text.size());
  for (char16_t unit : text) PutU16(out, unit);
}

// Reads the image front to back; the first failure sticks.
class Reader {
 public:
  explicit Reader(std::string_view image) : image_(image) {}

  bool Ok() const { return error_.empty(); }
  const std::string& Error() const { return error_; }
  bool AtEnd() const { return pos_ == image_.size(); }
  std::size_t Remaining() const { return image_.size() - pos_; }

  void Fail(std::string what) {
    if (error_.empty()) error_ = what + " at byte " + std::to_string(pos_);
  }

  std::uint32_t U8() { return Take(1) ? Byte(pos_ - 1) : 0; }
  std::uint32_t U16() { return Take(2) ? Byte(pos_ - 2) | Byte(pos_ - 1) << 8 : 0; }
  std::uint32_t U32() {
    std::uint32_t low = U16();
    std::uint32_t high = U16();
    return low | high << 16;
  }

  // A count of items of at least minBytes each, refused when the rest cannot hold it.
  std::uint32_t Count(std::size_t minBytes) {
    std::uint32_t n = U16();
    if (n == 0xFFFF) n = U32();
    if (Ok() && static_cast<std::uint64_t>(n) * minBytes > Remaining()) {
      Fail("count " + std::to_string(n) + " larger than the image");
      return 0;
    }
    return Ok() ? n : 0;
  }

  std::string String() {
    std::uint32_t n = U8();
    if (n == 0xFF) {
      n = U16();
      if (n == 0xFFFF) n = U32();
    }
    if (!Take(n)) return {};
    return std::string(image_.substr(pos_ - n, n));
  }

  std::u16string Wide() {
    std::uint32_t n = Count(2);
    std::u16string text;
    if (!Ok()) return text;
    text.reserve(n);
    for (std::uint32_t i = 0; i < n; ++i) text.push_back(static_cast<char16_t>(U16()));
    return text;
  }

 private:
  std::uint32_t Byte(std::size_t at) const { return static_cast<unsigned char>(image_[at]); }
  bool Take(std::size_t n) {
    if (!Ok()) return false;
    if (n > Remaining()) {
      Fail("image ends early");
      return false;
    }
    pos_ += n;
    return true;
  }

  std::string_view image_;
  std::size_t pos_ = 0;
  std::string error_;
};

// The smallest stored pair: a one-byte empty key and two 2-byte empty counts.
constexpr std::size_t kMinPairBytes = 5;

}  // namespace

std::string WriteSpamFolderImage(const SpamFolderMap& map) {
  std::string out;
  PutCount(&out, map.size());
  for (const auto& [key, ref] : map) {
    PutString(&out, key);
    PutWide(&out, ref.entryId);
    PutWide(&out, ref.friendlyName);
  }
  return out;
}

ArchiveStatus ReadSpamFolderImage(std::string_view image, SpamFolderMap* map) {
  Reader in(image);
  SpamFolderMap loaded;
  std::uint32_t count = in.Count(kMinPairBytes);
  for (std::uint32_t i = 0; i < count && in.Ok(); ++i) {
    std::string key = in.String();
    SpamFolderRef ref;
    ref.entryId = in.Wide();
    ref.friendlyName = in.Wide();
    if (in.Ok()) loaded.insert_or_assign(std::move(key), std::move(ref));
  }
  if (in.Ok() && !in.AtEnd()) in.Fail("bytes left over after the spam folder map");
  if (!in.Ok()) return ArchiveStatus{"SF: " + in.Error()};
  *map = std::move(loaded);
  return ArchiveStatus{};
}

}  // namespace quorvel
