// StringSet: an ordered set of strings, ordered and deduplicated case-insensitively in
// the ANSI code page. It holds the wildcard patterns beside each contact list and the
// custom dictionaries.
//
// Thread-safety: none of its own; the settings record's sets are guarded by the
// settings lock.
#ifndef QUORVEL_LISTS_STRING_SET_H_
#define QUORVEL_LISTS_STRING_SET_H_

#include <cstddef>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "lists/archive.h"
#include "lists/contact.h"
#include "platform/code_page.h"

namespace quorvel {

// Whether `pattern` matches `subject`; both are lower-cased first. The pattern's
// "*"-separated pieces must occur in the subject in order, the first one at its start
// when the pattern does not begin with "*"; nothing ties the last piece to the end
// (john*@example.org matches john@example.org.example.com). A pattern of stars only
// matches everything; an empty pattern matches nothing.
bool MatchesWildcard(std::string_view pattern, std::string_view subject);

class StringSet : public Serializable {
 public:
  using Set = std::set<std::string, platform::LessNoCase>;
  using const_iterator = Set::const_iterator;

  StringSet() = default;
  StringSet(const StringSet&) = default;
  StringSet& operator=(const StringSet&) = default;

  // False when an equal string (ignoring case) is already there; it stays as it was.
  bool Insert(std::string_view text);
  // False when no such string was there.
  bool Erase(std::string_view text);
  bool Contains(std::string_view text) const { return set_.find(text) != set_.end(); }
  void Clear() { set_.clear(); }
  std::size_t Count() const { return set_.size(); }
  bool Empty() const { return set_.empty(); }

  const_iterator begin() const { return set_.begin(); }
  const_iterator end() const { return set_.end(); }

  // The first pattern, in set order, that matches the contact's address (trimmed of
  // blanks and lower-cased); the pattern is returned as stored.
  std::optional<std::string> MatchWildcard(const Contact& contact) const;

  ArchiveStatus Serialize(Archive& archive) override;

 private:
  Set set_;
};

}  // namespace quorvel

#endif  // QUORVEL_LISTS_STRING_SET_H_
