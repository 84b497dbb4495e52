#include "mapi/mbox/mbox_reader.h"

#include <algorithm>
#include <cstring>

namespace quorvel::mapi {
namespace {

constexpr std::string_view kFrom = "From ";
constexpr std::size_t kBufferBytes = 64 * 1024;
// How much of a line is kept when only its start matters (separators, quoting).
constexpr std::size_t kLineStartBytes = 4096;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The line without its "\n" or "\r\n".
std::string_view WithoutLineEnd(std::string_view line) {
  if (line.ends_with('\n')) line.remove_suffix(1);
  if (line.ends_with('\r')) line.remove_suffix(1);
  return line;
}

// ">From ", ">>From ", ...: the line with one '>' less; other lines as they are.
std::string_view Unquoted(std::string_view line) {
  const std::size_t quotes = line.find_first_not_of('>');
  if (quotes == 0 || quotes == std::string_view::npos) return line;
  if (line.substr(quotes).starts_with(kFrom)) line.remove_prefix(1);
  return line;
}

}  // namespace

bool IsMboxSeparator(std::string_view line) {
  if (!line.starts_with(kFrom)) return false;
  std::string_view rest = line.substr(kFrom.size());
  const std::size_t sender = rest.find_first_not_of(" \t");
  if (sender == std::string_view::npos) return false;
  rest = rest.substr(sender);
  const std::size_t senderEnd = rest.find_first_of(" \t");
  if (senderEnd == std::string_view::npos) return false;
  const std::string_view date = rest.substr(senderEnd);
  bool time = false;
  bool year = false;
  for (std::size_t i = 0; i < date.size(); ++i) {
    // H:MM or HH:MM
    if (date[i] == ':' && i > 0 && IsDigit(date[i - 1]) && i + 2 < date.size() &&
        IsDigit(date[i + 1]) && IsDigit(date[i + 2])) {
      time = true;
    }
    // Four digits standing alone.
    if (i + 4 <= date.size() && (i == 0 || !IsDigit(date[i - 1])) &&
        std::all_of(date.begin() + static_cast<std::ptrdiff_t>(i),
                    date.begin() + static_cast<std::ptrdiff_t>(i + 4), IsDigit) &&
        (i + 4 == date.size() || !IsDigit(date[i + 4]))) {
      year = true;
    }
  }
  return time && year;
}

bool LooksLikeMbox(std::string_view start) { return start.starts_with(kFrom); }

MboxReader::MboxReader(std::istream& in, std::size_t maxMessageBytes)
    : in_(in), maxMessageBytes_(maxMessageBytes), buffer_(kBufferBytes) {}

bool MboxReader::Fill() {
  if (eof_ || failed_) return false;
  in_.read(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
  const std::streamsize n = in_.gcount();
  pos_ = 0;
  end_ = static_cast<std::size_t>(n);
  // The bytes read before a failure or the end still count; the next call stops.
  if (in_.bad()) {
    failed_ = true;
  } else if (!in_) {
    eof_ = true;
  }
  return n > 0;
}

bool MboxReader::ReadLine(std::size_t keep) {
  line_.clear();
  lineLength_ = 0;
  lineEnded_ = false;
  for (;;) {
    if (pos_ == end_ && !Fill()) return lineLength_ > 0;
    const char* start = buffer_.data() + pos_;
    const std::size_t available = end_ - pos_;
    const void* newline = std::memchr(start, '\n', available);
    const std::size_t take =
        newline != nullptr ? static_cast<std::size_t>(static_cast<const char*>(newline) - start) + 1
                           : available;
    if (line_.size() < keep) line_.append(start, std::min(take, keep - line_.size()));
    lineLength_ += take;
    pos_ += take;
    consumed_ += take;
    if (newline != nullptr) {
      lineEnded_ = true;
      return true;
    }
  }
}

bool MboxReader::Next(MboxMessage* out) {
  bool carried = false;  // line_ holds the message's first line, not a separator
  if (!started_) {
    started_ = true;
    if (!ReadLine(kLineStartBytes)) return false;  // an empty file holds no message
    haveSeparator_ = true;
    separatorOffset_ = 0;
    if (line_.starts_with(kFrom)) {
      separator_ = std::string(WithoutLineEnd(line_));
    } else {
      separator_.clear();
      carried = true;
    }
  }
  if (!haveSeparator_) return false;
  haveSeparator_ = false;

  MboxMessage m;
  m.number = ++count_;
  m.offset = separatorOffset_;
  m.damagedSeparator = !IsMboxSeparator(separator_);
  std::string bytes = std::move(out->bytes);  // reuses the last message's buffer
  bytes.clear();

  bool previousEmpty = false;
  bool lastEnded = true;
  bool anyLine = false;
  std::size_t lastLineBytes = 0;
  for (;;) {
    if (!carried) {
      const std::uint64_t at = consumed_;
      const std::size_t room = m.tooLarge ? 0 : maxMessageBytes_ - bytes.size() + 1;
      if (!ReadLine(std::max(kLineStartBytes, room))) break;
      const std::string_view text = WithoutLineEnd(line_);
      if (text.starts_with(kFrom) && (previousEmpty || IsMboxSeparator(text))) {
        separator_ = std::string(text);
        separatorOffset_ = at;
        haveSeparator_ = true;
        break;
      }
    }
    carried = false;
    anyLine = true;
    const std::string_view piece = Unquoted(line_);
    previousEmpty = WithoutLineEnd(line_).empty() && lineEnded_;
    lastEnded = lineEnded_;
    if (m.tooLarge) continue;
    const std::size_t length = lineLength_ - (line_.size() - piece.size());
    if (lineLength_ > line_.size() || bytes.size() + length > maxMessageBytes_) {
      m.tooLarge = true;  // what fits is kept; the rest is read past
      bytes.append(piece.substr(0, std::min(piece.size(), maxMessageBytes_ - bytes.size())));
      continue;
    }
    bytes.append(piece);
    lastLineBytes = piece.size();
  }
  // The empty line before a separator or at the end is the format's, not the message's.
  if (previousEmpty && !m.tooLarge) bytes.resize(bytes.size() - lastLineBytes);
  if (!haveSeparator_ && anyLine && !lastEnded) m.truncated = true;
  if (failed_) m.truncated = true;
  if (!anyLine || (bytes.empty() && !m.tooLarge)) m.empty = true;
  m.bytes = std::move(bytes);
  *out = std::move(m);
  return true;
}

}  // namespace quorvel::mapi
