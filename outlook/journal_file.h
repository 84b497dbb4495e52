// JournalFile: the verdict journal in the data folder, one JSON object a line
// ("journal.jsonl"), each with a "kind" ("verdict" for now; other kinds of entry may
// be added, and readers skip kinds they do not know). Lines are UTF-8; text that is
// not valid UTF-8 has its bad bytes replaced by U+FFFD.
//
// Each line is appended whole by one write on a descriptor opened for appending, so
// lines written by several threads or processes never interleave. The descriptor is
// kept open between lines; it is opened again after a rotation, and when a look at
// the path (at most every `checkEvery`) finds another file there or none: another
// writer rotated, or the user removed or replaced the file. When the file
// reaches `rotateBytes` it is renamed to "journal.jsonl.1" (replacing the generation
// before), under the lock file "journal.lock" and only after a fresh look at its size,
// so that two writers never rotate twice; a writer that appends while the file is
// renamed writes into the renamed file, losing nothing. Rotation never waits: when
// another writer holds the lock, it is rotating.
//
// A failed write is counted and reported once on `log` (may be empty); the caller
// goes on.
//
// Thread-safety: Record and the accessors from any thread; mutex_ guards the open
// file and the time of the last look, and the counters are atomic.
#ifndef QUORVEL_OUTLOOK_JOURNAL_FILE_H_
#define QUORVEL_OUTLOOK_JOURNAL_FILE_H_

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "outlook/verdict_journal.h"
#include "platform/file_system.h"

namespace quorvel::outlook {

inline constexpr const char* kJournalFileName = "journal.jsonl";
inline constexpr const char* kJournalOldFileName = "journal.jsonl.1";
inline constexpr const char* kJournalLockName = "journal.lock";
inline constexpr std::uint64_t kJournalRotateBytes = 10 * 1024 * 1024;
inline constexpr std::chrono::milliseconds kJournalCheckEvery{1000};

// The line (with its '\n') that records `entry`.
std::string JournalLine(const JournalEntry& entry);

// JSON text pieces for journal lines: a quoted string (bad UTF-8 replaced), and
// ',"name":"value"'.
void AppendJsonString(std::string& out, std::string_view s);
void AppendJsonField(std::string& out, const char* name, std::string_view value);

// "2026-12-08T06:57:35.123Z" for a file time.
std::string IsoTime(platform::FileTime time);

class JournalFile final : public VerdictJournal {
 public:
  // `dataFolder` ends with '/'.
  JournalFile(platform::FileSystem& files, std::string dataFolder,
              std::function<void(const std::string&)> log = {},
              std::uint64_t rotateBytes = kJournalRotateBytes,
              std::chrono::steady_clock::duration checkEvery = kJournalCheckEvery);

  void Record(const JournalEntry& entry) override;
  // Appends one line of another kind (with its '\n'), as Record does. False when it
  // was not written.
  bool AppendLine(const std::string& line);

  std::string path() const { return folder_ + kJournalFileName; }
  std::uint64_t failures() const { return failures_.load(); }

 private:
  // The open journal, opened again when it is missing or no longer at path().
  // Requires mutex_.
  platform::FileStatus Open();
  void Rotate();  // requires mutex_

  platform::FileSystem& files_;
  const std::string folder_;
  const std::function<void(const std::string&)> log_;
  const std::uint64_t rotateBytes_;
  const std::chrono::steady_clock::duration checkEvery_;
  std::mutex mutex_;
  std::unique_ptr<platform::AppendingFile> file_;    // guarded by mutex_
  std::chrono::steady_clock::time_point lastCheck_;  // guarded by mutex_
  std::atomic<std::uint64_t> failures_{0};
};

}  // namespace quorvel::outlook

#endif  // QUORVEL_OUTLOOK_JOURNAL_FILE_H_
