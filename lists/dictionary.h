// The match of a custom dictionary (a StringSet of words and phrases) against a
// message: subject, plain-text body and sender name.
#ifndef QUORVEL_LISTS_DICTIONARY_H_
#define QUORVEL_LISTS_DICTIONARY_H_

#include <optional>
#include <string>
#include <string_view>

#include "lists/string_set.h"

namespace quorvel {

struct DictionaryMatch {
  std::string entry;    // the matching entry as stored
  std::string lowered;  // the same entry lower-cased
};

// The first entry, in set order, that occurs (lower-cased, as a plain substring, no
// word boundaries) in the lower-cased subject, body or sender name; "win" matches
// "winter". An empty dictionary never matches; nor does an empty entry.
std::optional<DictionaryMatch> MatchDictionary(const StringSet& dictionary,
                                               std::string_view subject, std::string_view body,
                                               std::string_view senderName);

}  // namespace quorvel

#endif  // QUORVEL_LISTS_DICTIONARY_H_
