#include "lists/string_set.h"

#include <utility>

namespace quorvel {

namespace {

// The smallest image of a string (an empty one).
constexpr std::size_t kMinStringBytes = 1;

std::string_view TrimBlanks(std::string_view text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// `pattern` and `subject` are lower-cased already.
bool MatchesLowered(std::string_view pattern, std::string_view subject) {
  if (pattern.empty()) return false;
  std::size_t from = 0;  // where the next piece is searched in the subject
  std::size_t start = 0;
  while (start <= pattern.size()) {
    auto star = pattern.find('*', start);
    if (star == std::string_view::npos) star = pattern.size();
    const std::string_view piece = pattern.substr(start, star - start);
    if (!piece.empty()) {
      if (start == 0) {
        // The pattern does not begin with "*": its first piece is a prefix.
        if (subject.substr(0, piece.size()) != piece) return false;
        from = piece.size();
      } else {
        const auto found = subject.find(piece, from);
        if (found == std::string_view::npos) return false;
        from = found + piece.size();
      }
    }
    start = star + 1;
  }
  return true;
}

}  // namespace

bool MatchesWildcard(std::string_view pattern, std::string_view subject) {
  return MatchesLowered(platform::ToLowerAnsi(pattern), platform::ToLowerAnsi(subject));
}

bool StringSet::Insert(std::string_view text) { return set_.emplace(text).second; }

bool StringSet::Erase(std::string_view text) {
  const auto it = set_.find(text);
  if (it == set_.end()) return false;
  set_.erase(it);
  return true;
}

std::optional<std::string> StringSet::MatchWildcard(const Contact& contact) const {
  const std::string subject = platform::ToLowerAnsi(TrimBlanks(contact.address));
  for (const std::string& pattern : set_) {
    if (MatchesLowered(platform::ToLowerAnsi(pattern), subject)) return pattern;
  }
  return std::nullopt;
}

ArchiveStatus StringSet::Serialize(Archive& archive) {
  if (archive.IsStoring()) {
    archive.WriteCount(set_.size());
    for (const std::string& text : set_) archive.WriteString(text);
    return {};
  }
  Set loaded;
  std::uint32_t count = 0;
  if (!archive.ReadCount(&count, kMinStringBytes)) return archive.Status();
  for (std::uint32_t i = 0; i < count; ++i) {
    std::string text;
    if (!archive.ReadString(&text)) return archive.Status();
    // A string that folds equal to an earlier one keeps the first.
    loaded.insert(std::move(text));
  }
  if (!archive.ObjectLoaded()) return archive.Status();
  set_.swap(loaded);
  return {};
}

}  // namespace quorvel
