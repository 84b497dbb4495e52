// The tokenizer shared by learning and scoring, so that both agree on what a token is.
//
// A TokenStream owns a copy of one text (a subject, a body, or both joined by a blank)
// and hands out its tokens: words (runs of letters, digits, apostrophes and dollar
// signs) and links (text after "http://" or "www." up to the first blank or control
// character). Tokens come back lower-cased (A-Z only).
//
// Every consumer reads tokens with the same loop, ForEachUsedToken below: a token is
// used only when at least two characters of the text follow it, and the image and
// link markers that body extraction writes are dropped.
//
// Thread-safety: a stream is used by one thread at a time.
#ifndef QUORVEL_BAYES_TOKEN_STREAM_H_
#define QUORVEL_BAYES_TOKEN_STREAM_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quorvel {

enum class TokenKind : std::uint32_t { Word = 0, Url = 1 };

struct Token {
  std::u16string text;  // lower-cased
  TokenKind kind = TokenKind::Word;
};

// A token that points into its stream's text; valid while the stream lives.
struct TokenView {
  std::u16string_view text;
  TokenKind kind = TokenKind::Word;
};

class TokenStream {
 public:
  explicit TokenStream(std::u16string_view text) : text_(text) {}
  TokenStream(const TokenStream&) = delete;
  TokenStream& operator=(const TokenStream&) = delete;
  virtual ~TokenStream() = default;

  // True while at least two characters follow the read position. A consumer uses
  // the token it has just read only when this is still true.
  bool HasMore() const { return !text_.empty() && position_ < text_.size() - 1; }

  // The next token that passes the filter (URLs always; words of three or more
  // characters that are not all hexadecimal digits). At the end: an empty Word.
  Token Next();
  // The next token without the filter.
  Token RawNext();

  // The same as Next and RawNext without copying the token text.
  TokenView NextView();
  TokenView RawNextView();

  std::size_t position() const { return position_; }

 private:
  std::u16string text_;  // tokens are lower-cased in place as they are handed out
  std::size_t position_ = 0;
};

// True for the image markers "arbr1cd0", "arbr2cd0" and "arbr3cd0", which consumers
// drop ("arbr4cd0" is an ordinary word).
bool IsContentMarker(std::u16string_view token);

// True for a letter or digit (Unicode), apostrophe or dollar sign.
bool IsWordCharacter(char16_t c);

// The consumer loop: calls use(TokenView) for each used token, in order, duplicates
// kept. The views stay valid while `stream` lives.
template <class Use>
void ForEachUsedToken(TokenStream& stream, Use&& use) {
  TokenView token = stream.NextView();
  while (stream.HasMore()) {
    if (!IsContentMarker(token.text)) use(token);
    token = stream.NextView();
  }
}

}  // namespace quorvel

#endif  // QUORVEL_BAYES_TOKEN_STREAM_H_
