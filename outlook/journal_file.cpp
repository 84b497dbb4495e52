#include "outlook/journal_file.h"

#include <cstdio>
#include <ctime>
#include <memory>
#include <string_view>
#include <utility>

namespace quorvel::outlook {
namespace {

// 100-ns intervals between 1601-01-01 and 1970-01-01.
constexpr platform::FileTime kUnixEpoch = 116'444'736'000'000'000ULL;

// The length of the well-formed UTF-8 sequence at `s[i]`, or 0.
std::size_t Utf8Length(std::string_view s, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char c = byte(i);
  std::size_t n;
  unsigned char low = 0x80, high = 0xBF;
  if (c < 0x80) return 1;
  if (c >= 0xC2 && c <= 0xDF) {
    n = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    n = 3;
    if (c == 0xE0) low = 0xA0;
    if (c == 0xED) high = 0x9F;  // no surrogates
  } else if (c >= 0xF0 && c <= 0xF4) {
    n = 4;
    if (c == 0xF0) low = 0x90;
    if (c == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (i + n > s.size()) return 0;
  if (byte(i + 1) < low || byte(i + 1) > high) return 0;
  for (std::size_t k = 2; k < n; ++k) {
    if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
  }
  return n;
}

}  // namespace

void AppendJsonString(std::string& out, std::string_view s) {
  out.push_back('"');
  for (std::size_t i = 0; i < s.size();) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c == '"' || c == '\\') {
      out.push_back('\\');
      out.push_back(static_cast<char>(c));
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c < 0x20 || c == 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else if (std::size_t n = Utf8Length(s, i); n > 0) {
      out.append(s.substr(i, n));
      i += n;
      continue;
    } else {
      out += "\xEF\xBF\xBD";  // U+FFFD for a byte that starts no valid sequence
    }
    ++i;
  }
  out.push_back('"');
}

void AppendJsonField(std::string& out, const char* name, std::string_view value) {
  out.push_back(',');
  AppendJsonString(out, name);
  out.push_back(':');
  AppendJsonString(out, value);
}

std::string IsoTime(platform::FileTime time) {
  const platform::FileTime sinceEpoch = time > kUnixEpoch ? time - kUnixEpoch : 0;
  const std::time_t seconds = static_cast<std::time_t>(sinceEpoch / platform::kFileTimeSecond);
  const unsigned ms = static_cast<unsigned>(sinceEpoch % platform::kFileTimeSecond / 10'000);
  std::tm parts{};
  ::gmtime_r(&seconds, &parts);
  char text[80];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03uZ", parts.tm_year + 1900,
                parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec, ms);
  return text;
}

std::string JournalLine(const JournalEntry& entry) {
  std::string line = "{\"kind\":\"verdict\"";
  AppendJsonField(line, "time", IsoTime(entry.time));
  AppendJsonField(line, "folder", entry.folder);
  AppendJsonField(line, "message_id", entry.messageId);
  AppendJsonField(line, "sender", entry.sender);
  AppendJsonField(line, "subject", entry.subject);
  AppendJsonField(line, "verdict", entry.verdict);
  AppendJsonField(line, "reason", entry.reason);
  AppendJsonField(line, "destination", entry.destination);
  line += "}\n";
  return line;
}

JournalFile::JournalFile(platform::FileSystem& files, std::string dataFolder,
                         std::function<void(const std::string&)> log, std::uint64_t rotateBytes,
                         std::chrono::steady_clock::duration checkEvery)
    : files_(files),
      folder_(std::move(dataFolder)),
      log_(std::move(log)),
      rotateBytes_(rotateBytes),
      checkEvery_(checkEvery) {}

void JournalFile::Record(const JournalEntry& entry) { AppendLine(JournalLine(entry)); }

bool JournalFile::AppendLine(const std::string& line) {
  if (folder_.empty()) return false;
  std::lock_guard lock(mutex_);
  std::uint64_t size = 0;
  platform::FileStatus status = Open();
  if (status.ok()) status = file_->Append(line, &size);
  if (!status.ok()) {
    file_.reset();  // the next line tries a fresh descriptor
    // Reported once: a full disk would otherwise fill the log with the same line.
    if (failures_.fetch_add(1) == 0 && log_) log_("journal not written: " + status.message());
    return false;
  }
  if (size >= rotateBytes_) Rotate();
  return true;
}

platform::FileStatus JournalFile::Open() {
  const auto now = std::chrono::steady_clock::now();
  if (file_ && now - lastCheck_ >= checkEvery_) {
    lastCheck_ = now;
    platform::FileInfo there;
    const platform::FileInfo mine = file_->identity();
    if (!files_.Stat(path(), &there).ok() || there.kind != platform::FileKind::kFile ||
        there.device != mine.device || there.inode != mine.inode) {
      file_.reset();
    }
  }
  if (file_) return {};
  lastCheck_ = now;
  return files_.OpenForAppending(path(), &file_);
}

void JournalFile::Rotate() {
  // Whoever rotates, the file this descriptor writes to is full: the next line opens
  // the path again.
  file_.reset();
  std::unique_ptr<platform::FileLock> lock;
  if (!files_.Lock(folder_ + kJournalLockName, false, &lock).ok()) return;
  // Another writer may have rotated between our append and the lock.
  platform::FileInfo info;
  if (!files_.Stat(path(), &info).ok() || info.size < rotateBytes_) return;
  platform::FileStatus status = files_.Rename(path(), folder_ + kJournalOldFileName);
  if (!status.ok() && log_) log_("journal not rotated: " + status.message());
}

}  // namespace quorvel::outlook
