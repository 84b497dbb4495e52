#include "lists/dictionary.h"

#include <array>

#include "platform/code_page.h"

namespace quorvel {

std::optional<DictionaryMatch> MatchDictionary(const StringSet& dictionary,
                                               std::string_view subject, std::string_view body,
                                               std::string_view senderName) {
  if (dictionary.Empty()) return std::nullopt;
  const std::array<std::string, 3> texts = {platform::ToLowerAnsi(subject),
                                            platform::ToLowerAnsi(body),
                                            platform::ToLowerAnsi(senderName)};
  for (const std::string& entry : dictionary) {
    // An empty entry would be found in every text and judge every message.
    if (entry.empty()) continue;
    std::string lowered = platform::ToLowerAnsi(entry);
    for (const std::string& text : texts) {
      if (text.find(lowered) != std::string::npos)
        return DictionaryMatch{entry, std::move(lowered)};
    }
  }
  return std::nullopt;
}

}  // namespace quorvel
