#include "mapi/maildir/keywords_file.h"

#include <algorithm>
#include <cerrno>
#include <charconv>

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
    added.push_back(static_cast<char>('a' + (free - destination.names.begin())));
  }
  if (!added.empty()) {
    platform::FileStatus written = files.WriteFileAtomic(
        destinationDir + "/" + std::string(kKeywordsFile), SerializeKeywordTable(destination));
    if (written.ok()) {
      out += added;
    } else {
      AddNote(note, "keywords left off: " + written.message());
    }
  }
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
  return out;
}

}  // namespace quorvel::mapi
