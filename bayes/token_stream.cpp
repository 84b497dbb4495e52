#include "bayes/token_stream.h"

#include <array>

#include "platform/code_page.h"

namespace quorvel {
namespace {

constexpr std::u16string_view kHttpPrefix = u"http://";
constexpr std::u16string_view kWwwPrefix = u"www.";

// One bit per UTF-16 unit, filled once: asking ICU for every character of every
// text would cost more than the rest of the tokenizer.
class WordCharacterTable {
 public:
  WordCharacterTable() {
    for (std::uint32_t c = 0; c <= 0xFFFF; ++c) {
      auto unit = static_cast<char16_t>(c);
      if (platform::IsWideLetterOrDigit(unit) || unit == u'\'' || unit == u'$') {
        bits_[c >> 6] |= std::uint64_t{1} << (c & 63);
      }
    }
  }
  bool Contains(char16_t c) const { return (bits_[c >> 6] >> (c & 63)) & 1; }

 private:
  std::array<std::uint64_t, 0x10000 / 64> bits_{};
};

const WordCharacterTable& WordCharacters() {
  static const WordCharacterTable table;
  return table;
}

// Graphic characters of the single-byte classification; anything else (blanks,
// controls, and every character above 0x7E) ends a link.
bool IsUrlCharacter(char16_t c) { return c >= 0x21 && c <= 0x7E; }

bool IsHexDigit(char16_t c) {
  return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

bool Accepted(std::u16string_view word) {
  if (word.size() < 3) return false;
  for (char16_t c : word) {
    if (!IsHexDigit(c)) return true;
  }
  return false;
}

}  // namespace

bool IsWordCharacter(char16_t c) { return WordCharacters().Contains(c); }

bool IsContentMarker(std::u16string_view token) {
  return token.size() == 8 && token.substr(0, 4) == u"arbr" && token.substr(5) == u"cd0" &&
         token[4] >= u'1' && token[4] <= u'3';
}

TokenView TokenStream::RawNextView() {
  const std::size_t length = text_.size();
  if (position_ >= length) return {};
  const WordCharacterTable& words = WordCharacters();

  std::size_t start = position_;
  while (start < length && !words.Contains(text_[start])) ++start;

  std::u16string_view rest = std::u16string_view(text_).substr(start);
  std::size_t end = start;
  TokenKind kind = TokenKind::Word;
  std::size_t prefix = 0;
  if (rest.starts_with(kHttpPrefix)) {
    prefix = kHttpPrefix.size();
  } else if (rest.starts_with(kWwwPrefix)) {
    prefix = kWwwPrefix.size();
  }
  if (prefix != 0) {
    kind = TokenKind::Url;
    end = start + prefix;
    while (end < length && IsUrlCharacter(text_[end])) ++end;
  } else {
    while (end < length && words.Contains(text_[end])) ++end;
  }

  position_ = end;
  for (std::size_t i = start; i < end; ++i) {
    char16_t c = text_[i];
    if (c >= u'A' && c <= u'Z') text_[i] = static_cast<char16_t>(c + (u'a' - u'A'));
  }
  return {std::u16string_view(text_).substr(start, end - start), kind};
}

TokenView TokenStream::NextView() {
  TokenView token = RawNextView();
  for (;;) {
    if (text_.empty() || position_ >= text_.size() - 1 || token.kind == TokenKind::Url) {
      return token;
    }
    if (Accepted(token.text)) return token;
    token = RawNextView();
  }
}

Token TokenStream::RawNext() {
  TokenView view = RawNextView();
  return {std::u16string(view.text), view.kind};
}

Token TokenStream::Next() {
  TokenView view = NextView();
  return {std::u16string(view.text), view.kind};
}

}  // namespace quorvel
