#include "bayes/token_stream.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/code_page.h"

namespace quorvel {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

std::vector<std::string> Used(std::u16string_view text) {
  TokenStream stream(text);
  std::vector<std::string> used;
  ForEachUsedToken(stream, [&](const TokenView& token) {
    std::string entry = platform::WideToUtf8(token.text);
    if (token.kind == TokenKind::Url) entry = "url:" + entry;
    used.push_back(entry);
  });
  return used;
}

struct Case {
  const char16_t* text;
  std::vector<std::string> used;
};

TEST(TokenStreamTest, UsedTokens) {
  const Case cases[] = {
      {u"Hello, World of $money and don't panic now!!",
       {"hello", "world", "$money", "and", "don't", "panic", "now"}},
      // The last token needs two characters after it.
      {u"Cheap viagra now", {"cheap", "viagra"}},
      {u"Cheap viagra now.", {"cheap", "viagra"}},
      {u"Cheap viagra now\r\n", {"cheap", "viagra", "now"}},
      {u"Viagra", {}},
      {u"", {}},
      {u"a", {}},
      {u"ab", {}},
      {u"abc", {}},
      {u"See http://Example.COM/a?b=1, and www.Foo.com.",
       {"see", "url:http://example.com/a?b=1,", "and"}},
      // The prefixes are case-sensitive.
      {u"HTTP://x.org is here", {"http", "org"}},
      {u"Www.foo.com is here", {"www", "foo", "com"}},
      {u"deadbeef 12345 cafe face 0x1f is not all hex digits", {"0x1f", "not", "all", "hex"}},
      {u"l'\u00e9t\u00e9 l\u00e0", {"l'\u00e9t\u00e9"}},
      // Markers one to three are dropped by consumers; four is a word.
      {u"see arbr1cd0 arbr2cd0 arbr3cd0 arbr4cd0 arbr5cd0 here", {"see", "arbr4cd0", "arbr5cd0"}},
      {u"ARBR1CD0 token here", {"token"}},
      // A link runs over punctuation and stops at blanks, controls and non-ASCII.
      {u"goes www.a.b/c\td http://x\u00e9yes zz",
       {"goes", "url:www.a.b/c", "url:http://x", "\u00e9yes"}},
      // A link prefix needs the whole prefix; "www" alone is a word.
      {u"www http:/x.org ok", {"www", "http", "org"}},
      // Cyrillic and Greek letters are word characters; punctuation is not.
      {u"\u041f\u0440\u0438\u0432\u0435\u0442 \u03b1\u03b2\u03b3-\u03b4\u03b5\u03b6 !!",
       {"\u041f\u0440\u0438\u0432\u0435\u0442", "\u03b1\u03b2\u03b3", "\u03b4\u03b5\u03b6"}},
      // Duplicates are kept in order.
      {u"spam spam eggs spam  ", {"spam", "spam", "eggs", "spam"}},
      // A link at the very start; a prefix inside a word is no link.
      {u"http://a.b xhttp://c.d okay  ", {"url:http://a.b", "xhttp", "okay"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Used(c.text), c.used) << platform::WideToUtf8(c.text);
  }
}

TEST(TokenStreamTest, UpperCaseNonAsciiIsKept) {
  // Only A-Z are lowered.
  EXPECT_THAT(Used(u"\u00c9T\u00c9 okay  "), ElementsAre("\u00c9t\u00c9", "okay"));
}

TEST(TokenStreamTest, NextAtEndIsEmptyWord) {
  TokenStream stream(u"hello world");
  EXPECT_EQ(stream.Next().text, u"hello");
  EXPECT_TRUE(stream.HasMore());
  Token last = stream.Next();
  EXPECT_EQ(last.text, u"world");
  EXPECT_FALSE(stream.HasMore());
  Token end = stream.Next();
  EXPECT_EQ(end.text, u"");
  EXPECT_EQ(end.kind, TokenKind::Word);
  EXPECT_EQ(stream.position(), 11u);
}

TEST(TokenStreamTest, RawNextDoesNotFilter) {
  TokenStream stream(u"a 12 cafe, http://x y");
  EXPECT_EQ(stream.RawNext().text, u"a");
  EXPECT_EQ(stream.RawNext().text, u"12");
  EXPECT_EQ(stream.RawNext().text, u"cafe");
  Token url = stream.RawNext();
  EXPECT_EQ(url.text, u"http://x");
  EXPECT_EQ(url.kind, TokenKind::Url);
}

TEST(TokenStreamTest, NextNearEndReturnsUnfilteredToken) {
  // At length - 1 or beyond, Next hands back whatever it read; consumers then
  // stop because HasMore is false.
  TokenStream stream(u"xyz ab.");
  EXPECT_EQ(stream.Next().text, u"xyz");
  EXPECT_EQ(stream.Next().text, u"ab");
  EXPECT_FALSE(stream.HasMore());
}

TEST(TokenStreamTest, NoWordCharactersLeavesNothing) {
  EXPECT_THAT(Used(u"!!! ... ,,, ---"), IsEmpty());
  TokenStream stream(u"  !!");
  EXPECT_EQ(stream.RawNext().text, u"");
  EXPECT_EQ(stream.position(), 4u);
}

TEST(TokenStreamTest, WordCharacters) {
  EXPECT_TRUE(IsWordCharacter(u'a'));
  EXPECT_TRUE(IsWordCharacter(u'Z'));
  EXPECT_TRUE(IsWordCharacter(u'7'));
  EXPECT_TRUE(IsWordCharacter(u'\''));
  EXPECT_TRUE(IsWordCharacter(u'$'));
  EXPECT_TRUE(IsWordCharacter(u'\u00e9'));
  EXPECT_TRUE(IsWordCharacter(u'\u4e2d'));
  EXPECT_FALSE(IsWordCharacter(u'-'));
  EXPECT_FALSE(IsWordCharacter(u'_'));
  EXPECT_FALSE(IsWordCharacter(u' '));
  EXPECT_FALSE(IsWordCharacter(u'\xd800'));
}

}  // namespace
}  // namespace quorvel
