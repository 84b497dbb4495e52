#include "lists/list_file_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/code_page.h"

namespace quorvel {
namespace {

constexpr char kCr = '\r';
constexpr char kLf = '\n';

bool IsLead(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsTrail(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// UTF-16 bytes (an even count) to ANSI; false when a surrogate is unpaired, the one
// way such a line cannot be converted.
bool Utf16LineToAnsi(const char* bytes, std::size_t count, bool bigEndian, std::string* line) {
  std::u16string wide(count / 2, u'\0');
  const int high = bigEndian ? 0 : 1;
  for (std::size_t i = 0; i < wide.size(); ++i) {
    wide[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i + 1 - high]) |
                                    static_cast<unsigned char>(bytes[2 * i + high]) << 8);
  }
  for (std::size_t i = 0; i < wide.size(); ++i) {
    if (IsTrail(wide[i])) return false;
    if (IsLead(wide[i])) {
      if (i + 1 == wide.size() || !IsTrail(wide[i + 1])) return false;
      ++i;
    }
  }
  *line = platform::WideToAnsi(wide);
  return true;
}

}  // namespace

int MemoryByteSource::Read(char* buffer, std::size_t capacity, std::size_t* got) {
  const std::size_t n = std::min({capacity, maxChunk_, bytes_.size()});
  if (n > 0) std::memcpy(buffer, bytes_.data(), n);
  bytes_.remove_prefix(n);
  *got = n;
  return 0;
}

int FileByteSource::Open(const std::string& path) {
  file_.reset();
  return files_.OpenForReading(path, &file_).code();
}

int FileByteSource::Read(char* buffer, std::size_t capacity, std::size_t* got) {
  *got = 0;
  if (!file_) return EBADF;
  return file_->Read(buffer, capacity, got).code();
}

ListFileReader::ListFileReader(ByteSource& source, std::size_t bufferSize)
    : source_(source), size_(std::max<std::size_t>(bufferSize, 4)) {
  buffer_ = std::make_unique<char[]>(size_);
}

bool ListFileReader::Fill() {
  if (error_ != 0) return false;  // a source that failed is not asked again
  if (position_ > 0) {
    std::memmove(buffer_.get(), buffer_.get() + position_, length_ - position_);
    length_ -= position_;
    position_ = 0;
  }
  if (length_ == size_) return false;  // one line fills the whole buffer
  std::size_t got = 0;
  if (const int error = source_.Read(buffer_.get() + length_, size_ - length_, &got)) {
    error_ = error;
    return false;
  }
  length_ += got;
  return got > 0;
}

void ListFileReader::ReadMark() {
  // A mark needs up to three bytes, which a source may hand out one at a time.
  while (length_ < 3 && Fill()) {
  }
  const auto starts = [&](std::string_view mark) {
    return length_ >= mark.size() && std::memcmp(buffer_.get(), mark.data(), mark.size()) == 0;
  };
  if (starts("\xFF\xFE")) {
    encoding_ = Encoding::kUtf16Le;
    position_ = 2;
  } else if (starts("\xFE\xFF")) {
    encoding_ = Encoding::kUtf16Be;
    position_ = 2;
  } else if (starts("\xEF\xBB\xBF")) {
    encoding_ = Encoding::kUtf8;
    position_ = 3;
  }
}

bool ListFileReader::ReadLine(std::string* line) {
  line->clear();
  if (ended_) return false;
  if (!started_) {
    started_ = true;
    ReadMark();
  }
  const bool wide = IsUtf16();
  const std::size_t unit = wide ? 2 : 1;
  // The byte of an LF unit that holds 0x0A, and the one that holds 0.
  const std::size_t lfAt = encoding_ == Encoding::kUtf16Be ? 1 : 0;
  for (;;) {
    const char* data = buffer_.get();
    std::size_t at = position_ + scanned_;
    std::size_t lf = length_;
    if (!wide) {
      const void* found = at < length_ ? std::memchr(data + at, kLf, length_ - at) : nullptr;
      if (found != nullptr) lf = static_cast<std::size_t>(static_cast<const char*>(found) - data);
    } else {
      for (; at + 2 <= length_; at += 2) {
        if (data[at + lfAt] == kLf && data[at + 1 - lfAt] == 0) {
          lf = at;
          break;
        }
      }
    }
    if (lf < length_) {
      const std::size_t start = position_;
      position_ = lf + unit;
      scanned_ = 0;
      if (skipping_) {  // the end of a line that was too long: already noted
        skipping_ = false;
        continue;
      }
      ++lineNumber_;
      if (TakeLine(start, lf, line)) return true;
      continue;
    }
    scanned_ = (wide ? at : length_) - position_;
    if (Fill()) continue;
    if (error_ == 0 && length_ == size_) {
      // One line fills the whole buffer: skip it to its end.
      if (!skipping_) {
        ++lineNumber_;
        NoteSkipped("longer than " + std::to_string(size_) + " bytes");
        skipping_ = true;
      }
      position_ = length_ - (length_ - position_) % unit;
      scanned_ = 0;
      continue;
    }
    ended_ = true;
    if (error_ != 0 || skipping_ || position_ + unit > length_) return false;
    // The last line, without a line end.
    const std::size_t start = position_;
    position_ = length_;
    ++lineNumber_;
    return TakeLine(start, length_ - (length_ - start) % unit, line);
  }
}

void ListFileReader::NoteSkipped(std::string_view why) {
  problems_.push_back("line " + std::to_string(lineNumber_) + ": " + std::string(why) +
                      ", skipped");
}

bool ListFileReader::TakeLine(std::size_t start, std::size_t end, std::string* line) {
  const char* data = buffer_.get();
  const std::size_t unit = IsUtf16() ? 2 : 1;
  // A CR before the LF belongs to the line end.
  if (end >= start + unit) {
    const char* last = data + end - unit;
    const bool cr = unit == 1 ? last[0] == kCr
                              : (encoding_ == Encoding::kUtf16Le ? last[0] == kCr && last[1] == 0
                                                                 : last[0] == 0 && last[1] == kCr);
    if (cr) end -= unit;
  }
  switch (encoding_) {
    case Encoding::kAnsi:
      line->assign(data + start, end - start);
      return true;
    case Encoding::kUtf8:
      *line = platform::Utf8ToAnsi(std::string_view(data + start, end - start));
      return true;
    case Encoding::kUtf16Le:
    case Encoding::kUtf16Be:
      if (Utf16LineToAnsi(data + start, end - start, encoding_ == Encoding::kUtf16Be, line)) {
        return true;
      }
      line->clear();
      NoteSkipped("not valid UTF-16");
      return false;
  }
  return false;
}

}  // namespace quorvel
