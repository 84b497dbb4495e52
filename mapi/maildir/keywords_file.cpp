#include "mapi/maildir/keywords_file.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <thread>

namespace quorvel::mapi {
namespace {

bool IsKeywordLetter(char c) { return c >= 'a' && c < static_cast<char>('a' + kMaxKeywords); }

// The folder's table; a file that cannot be read (other than missing) counts as damaged.
KeywordTable LoadTable(platform::FileSystem& files, const std::string& dir) {
  std::string text;
  platform::FileStatus status = files.ReadFile(dir + "/" + std::string(kKeywordsFile), &text);
  if (status.ok()) return ParseKeywordTable(text);
  KeywordTable table;
  table.damaged = status.code() != ENOENT;
  return table;
}

void AddNote(std::string* note, const std::string& text) {
  if (note == nullptr) return;
  if (!note->empty()) *note += "; ";
  *note += text;
}

}  // namespace

KeywordTable ParseKeywordTable(std::string_view text) {
  KeywordTable table;
  while (!text.empty()) {
    std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) continue;
    std::size_t index = 0;
    auto [rest, error] = std::from_chars(line.data(), line.data() + line.size(), index);
    std::string_view name(rest, line.data() + line.size() - rest);
    if (error != std::errc() || index >= kMaxKeywords || name.size() < 2 || name[0] != ' ' ||
        !table.names[index].empty()) {
      table.damaged = true;
      continue;
    }
    table.names[index] = std::string(name.substr(1));
  }
  return table;
}

std::string SerializeKeywordTable(const KeywordTable& table) {
  std::string out;
  for (std::size_t i = 0; i < kMaxKeywords; ++i) {
    if (!table.names[i].empty()) out += std::to_string(i) + " " + table.names[i] + "\n";
  }
  return out;
}

namespace {

// Dovecot's own lock on a folder's keywords file: "dovecot-keywords.lock", made
// exclusively, filled with the new table and renamed over the file. A lock that has
// not changed for kStaleLockNs was left by a writer that died and is taken over.
constexpr std::int64_t kStaleLockNs = 30'000'000'000;
constexpr int kLockTries = 200;  // 10 ms apart

platform::FileStatus TakeDotLock(platform::FileSystem& files, const std::string& lock) {
  static std::atomic<unsigned> counter{0};
  const std::string staged =
      lock + "." + std::to_string(::getpid()) + "." + std::to_string(++counter) + ".new";
  platform::FileStatus status;
  for (int i = 0; i < kLockTries; ++i) {
    if (status = files.WriteFileAtomic(staged, ""); !status.ok()) return status;
    status = files.RenameNoReplace(staged, lock);
    if (status.ok()) return status;
    files.Remove(staged);
    if (status.code() != EEXIST) return status;
    platform::FileInfo info;
    const std::int64_t now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                 std::chrono::system_clock::now().time_since_epoch())
                                 .count();
    if (files.Stat(lock, &info).ok() && info.kind != platform::FileKind::kMissing &&
        now - info.modifiedNs > kStaleLockNs) {
      files.Remove(lock);
      continue;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return status;
}

// The letters of `letters` (named in `source`) in `destination`, adding what it lacks
// to it; `added` gets the letters it was given.
std::string Translate(const KeywordTable& source, KeywordTable& destination,
                      const std::string& sourceDir, const std::string& destinationDir,
                      std::string_view letters, std::string* added, std::string* note) {
  std::string out;
  for (char c : letters) {
    const std::string& name = source.names[c - 'a'];
    if (name.empty()) {
      AddNote(note, std::string("keyword letter '") + c + "' is not named in " + sourceDir + "/" +
                        std::string(kKeywordsFile));
      continue;
    }
    auto found = std::find(destination.names.begin(), destination.names.end(), name);
    if (found != destination.names.end()) {
      out.push_back(static_cast<char>('a' + (found - destination.names.begin())));
      continue;
    }
    if (destination.damaged) {
      AddNote(note, "keyword " + name + " left off: " + destinationDir + "/" +
                        std::string(kKeywordsFile) + " is damaged");
      continue;
    }
    auto free = std::find(destination.names.begin(), destination.names.end(), std::string());
    if (free == destination.names.end()) {
      AddNote(note, "keyword " + name + " left off: " + destinationDir +
                        " has all 26 keyword letters in use");
      continue;
    }
    *free = name;
    added->push_back(static_cast<char>('a' + (free - destination.names.begin())));
  }
  return out;
}

}  // namespace

std::string TranslateKeywordFlags(platform::FileSystem& files, const std::string& sourceDir,
                                  const std::string& destinationDir, std::string_view flags,
                                  std::string* note) {
  std::string out;
  std::string letters;
  for (char c : flags) (IsKeywordLetter(c) ? letters : out).push_back(c);
  if (letters.empty() || sourceDir == destinationDir) return std::string(flags);
  const KeywordTable source = LoadTable(files, sourceDir);
  KeywordTable destination = LoadTable(files, destinationDir);
  std::string added;  // letters given a new line in the destination's file
  std::string carried =
      Translate(source, destination, sourceDir, destinationDir, letters, &added, note);
  if (!added.empty()) {
    // The file gains lines: under Dovecot's lock, and from the file as it is then
    // (another writer may have added keywords meanwhile).
    const std::string target = destinationDir + "/" + std::string(kKeywordsFile);
    const std::string lock = target + ".lock";
    platform::FileStatus status = TakeDotLock(files, lock);
    if (status.ok()) {
      destination = LoadTable(files, destinationDir);
      added.clear();
      carried = Translate(source, destination, sourceDir, destinationDir, letters, &added, nullptr);
      if (!added.empty()) {
        status = files.WriteFileAtomic(lock, SerializeKeywordTable(destination));
        if (status.ok()) status = files.Rename(lock, target);
      }
      if (added.empty() || !status.ok()) files.Remove(lock);
    }
    if (!status.ok()) {
      AddNote(note,
              "keywords left off: " + target + " cannot be written (" + status.message() + ")");
      added.clear();
    }
  }
  out += carried + added;
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
  return out;
}

}  // namespace quorvel::mapi
