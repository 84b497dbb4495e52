#include "platform/code_page.h"

#include <gtest/gtest.h>
#include <unicode/uchar.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace quorvel::platform {
namespace {

// Restores the environment's code page however the test ends.
class CodePageTest : public ::testing::Test {
 protected:
  void TearDown() override { SetCodePageForTesting(0); }
};

TEST_F(CodePageTest, DefaultsTo1252AndRejectsUnknownCodePages) {
  ASSERT_TRUE(SetCodePageForTesting(0));
  EXPECT_EQ(ActiveCodePage(), 1252u);
  EXPECT_FALSE(SetCodePageForTesting(99999));
  EXPECT_FALSE(SetCodePageForTesting(65001));  // not a single-byte code page
  EXPECT_EQ(ActiveCodePage(), 1252u);
  ASSERT_TRUE(SetCodePageForTesting(1251));
  EXPECT_EQ(ActiveCodePage(), 1251u);
}

TEST_F(CodePageTest, SameBytesMeanDifferentCharactersPerCodePage) {
  const std::string bytes = "\xC0\xE9\x80\x9F";
  ASSERT_TRUE(SetCodePageForTesting(1252));
  EXPECT_EQ(AnsiToWide(bytes), u"\u00C0\u00E9\u20AC\u0178");  // À é € Ÿ
  ASSERT_TRUE(SetCodePageForTesting(1251));
  EXPECT_EQ(AnsiToWide(bytes), u"\u0410\u0439\u0402\u045F");  // А й Ђ џ
}

TEST_F(CodePageTest, CharactersOutsideTheCodePageBecomeQuestionMarks) {
  struct Case {
    unsigned codePage;
    std::u16string wide;
    std::string ansi;
  };
  const Case cases[] = {
      {1252, u"caf\u00E9", "caf\xE9"},
      {1252, u"\u041F\u0440\u0438", "???"},  // Cyrillic is not in 1252
      {1251, u"\u041F\u0440\u0438", "\xCF\xF0\xE8"},
      {1251, u"caf\u00E9", "caf?"},                // é is not in 1251
      {1252, u"a\U0001F600b", "a?b"},              // a surrogate pair is one character
      {1252, std::u16string(u"x\xD800y"), "x?y"},  // a lone surrogate
      {1252, std::u16string(u"\0z", 2), std::string("\0z", 2)},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(SetCodePageForTesting(c.codePage));
    EXPECT_EQ(WideToAnsi(c.wide), c.ansi) << c.codePage;
  }
}

TEST_F(CodePageTest, EveryByteSurvivesTheTripToWideAndBack) {
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  for (unsigned cp : {1250u, 1251u, 1252u, 1253u, 1254u, 1255u, 1256u, 1257u, 1258u, 874u}) {
    ASSERT_TRUE(SetCodePageForTesting(cp)) << cp;
    std::u16string wide = AnsiToWide(all);
    ASSERT_EQ(wide.size(), 256u);
    EXPECT_EQ(WideToAnsi(wide), all) << cp;
    // The direct ANSI-to-UTF-8 table gives what going through UTF-16 gives.
    EXPECT_EQ(AnsiToUtf8(all), WideToUtf8(wide)) << cp;
  }
}

TEST_F(CodePageTest, Utf8ConversionsGoThroughTheCodePage) {
  ASSERT_TRUE(SetCodePageForTesting(1252));
  EXPECT_EQ(Utf8ToAnsi("na\xC3\xAFve \xE2\x82\xAC"), "na\xEFve \x80");
  EXPECT_EQ(AnsiToUtf8("na\xEFve \x80"), "na\xC3\xAFve \xE2\x82\xAC");
  EXPECT_EQ(Utf8ToAnsi("\xD0\x96"), "?");  // Ж
  ASSERT_TRUE(SetCodePageForTesting(1251));
  EXPECT_EQ(Utf8ToAnsi("\xD0\x96"), "\xC6");
}

TEST_F(CodePageTest, IllFormedUtf8BecomesReplacementCharacters) {
  EXPECT_EQ(Utf8ToWide("a\xFF"
                       "b"),
            u"a\uFFFDb");
  EXPECT_EQ(Utf8ToWide("\xE2\x82"), u"\uFFFD");  // truncated sequence
  EXPECT_EQ(WideToUtf8(std::u16string(u"\xDC00")), "\xEF\xBF\xBD");
  EXPECT_EQ(WideToUtf8(u"\U0001F600"), "\xF0\x9F\x98\x80");
  EXPECT_EQ(Utf8ToWide(""), u"");
}

TEST_F(CodePageTest, NamedCharsetsConvertToTheCodePage) {
  ASSERT_TRUE(SetCodePageForTesting(1251));
  std::string out = "stale";
  ASSERT_TRUE(CharsetToAnsi("koi8-r", "\xF0\xD2\xC9", &out));  // "При" in KOI8-R
  EXPECT_EQ(out, "\xCF\xF0\xE8");
  ASSERT_TRUE(CharsetToAnsi("UTF-8", "\xC3\xA9", &out));
  EXPECT_EQ(out, "?");
  ASSERT_TRUE(SetCodePageForTesting(1252));
  ASSERT_TRUE(CharsetToAnsi("iso-8859-1", "\xE9t\xE9", &out));
  EXPECT_EQ(out, "\xE9t\xE9");
  EXPECT_FALSE(CharsetToAnsi("no-such-charset", "abc", &out));
  EXPECT_TRUE(out.empty());
  EXPECT_FALSE(CharsetToAnsi("", "abc", &out));
  EXPECT_FALSE(CharsetToAnsi(std::string_view("utf-8\0x", 7), "abc", &out));
}

TEST_F(CodePageTest, LongInputConvertsCompletely) {
  std::string big(100000, 'a');
  big += "\xE9";
  std::string out;
  ASSERT_TRUE(CharsetToAnsi("windows-1252", big, &out));
  EXPECT_EQ(out, big);
}

TEST_F(CodePageTest, CharacterOutsideTheBasicPlaneIsOneMarkAtAnyOffset) {
  // Long text converts in pieces; a surrogate pair must give one '?' wherever it
  // falls, also across the border between two pieces.
  ASSERT_TRUE(SetCodePageForTesting(1252));
  for (std::size_t before : {0u, 4094u, 4095u, 4096u, 8190u, 8191u}) {
    const std::string text = std::string(before, 'a') + "\xF0\x9F\x98\x80" + "b\xC3\xA9";
    std::string out;
    ASSERT_TRUE(CharsetToAnsi("utf-8", text, &out));
    ASSERT_GE(out.size(), before) << before;
    EXPECT_EQ(out.find_first_not_of('a'), before) << before;
    EXPECT_EQ(out.substr(before), "?b\xE9") << before;
  }
  // A lone lead surrogate (CESU-style bytes) at a piece border stays a '?' of its own.
  const std::string lone = std::string(4095, 'a') + "\xED\xA0\xBD" + "b";
  std::string out;
  ASSERT_TRUE(CharsetToAnsi("cesu-8", lone, &out));
  EXPECT_EQ(out.size(), 4097u);
  EXPECT_EQ(out.substr(4095), "?b");
}

TEST_F(CodePageTest, LowerCaseFollowsTheCodePage) {
  ASSERT_TRUE(SetCodePageForTesting(1252));
  EXPECT_EQ(ToLowerAnsi("ABC xyz \xC0\xC9\x9F\xDF"), "abc xyz \xE0\xE9\xFF\xDF");
  EXPECT_EQ(LowerAnsi(0xC6), 0xE6);  // Æ
  EXPECT_EQ(LowerAnsi(0xD7), 0xD7);  // × has no lower case
  ASSERT_TRUE(SetCodePageForTesting(1251));
  EXPECT_EQ(ToLowerAnsi("\xC0\xDF\xA8"), "\xE0\xFF\xB8");  // А Я Ё
  EXPECT_EQ(LowerAnsi(0xC0), 0xE0);
}

TEST_F(CodePageTest, CaseInsensitiveOrderFoldsThenComparesUnsignedBytes) {
  ASSERT_TRUE(SetCodePageForTesting(1252));
  // Folded, '_' (0x5F) sorts before letters; upper-case ASCII compared raw would not.
  std::vector<std::string> keys = {"ShowWizard", "SF", "SentSubjs", "a_b", "AB", "\xC9t\xE9", "zz"};
  std::sort(keys.begin(), keys.end(), LessNoCase());
  EXPECT_EQ(keys, (std::vector<std::string>{"a_b", "AB", "SentSubjs", "SF", "ShowWizard", "zz",
                                            "\xC9t\xE9"}));
  EXPECT_EQ(CompareNoCase("abc", "ABC"), 0);
  EXPECT_LT(CompareNoCase("ab", "ABC"), 0);
  EXPECT_GT(CompareNoCase("\xE9", "z"), 0);  // é above every ASCII letter
  EXPECT_TRUE(EqualsNoCase("\xC9T\xC9", "\xE9t\xE9"));
  EXPECT_FALSE(EqualsNoCase("ab", "abc"));
  EXPECT_FALSE(EqualsNoCase("a", "\xE0"));  // no accent folding

  std::map<std::string, int, LessNoCase> map;
  map["WhiteList"] = 1;
  EXPECT_EQ(map.count("whitelist"), 1u);
  EXPECT_EQ(map.find(std::string_view("WHITELIST"))->second, 1);
}

TEST_F(CodePageTest, CyrillicKeysCompareCaseInsensitivelyOnlyIn1251) {
  ASSERT_TRUE(SetCodePageForTesting(1251));
  EXPECT_TRUE(EqualsNoCase("\xCF\xD0\xC8", "\xEF\xF0\xE8"));  // ПРИ / при
  EXPECT_TRUE(EqualsNoCase("\xA8\x80", "\xB8\x90"));          // ЁЂ / ёђ
  ASSERT_TRUE(SetCodePageForTesting(1252));
  EXPECT_FALSE(EqualsNoCase("\xA8\x80", "\xB8\x90"));  // ¨€ and ¸ are no case pairs
}

TEST(WideClassesTest, LettersAndDigitsBeyondLatin1) {
  struct Case {
    char16_t c;
    bool letter;
    bool digit;
  };
  const Case cases[] = {
      {u'a', true, false},
      {u'Z', true, false},
      {u'5', false, true},
      {u'_', false, false},
      {u' ', false, false},
      {u'\u00E9', true, false},
      {u'\u0416', true, false},
      {u'\u03A9', true, false},
      {u'\u0663', false, true},
      {u'\u4E2D', true, false},
      {u'\u00D7', false, false},
      {char16_t{0xD83D}, false, false},
      {char16_t{0xDE00}, false, false},
      {u'\u2019', false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsWideLetter(c.c), c.letter) << static_cast<int>(c.c);
    EXPECT_EQ(IsWideDigit(c.c), c.digit) << static_cast<int>(c.c);
    EXPECT_EQ(IsWideLetterOrDigit(c.c), c.letter || c.digit) << static_cast<int>(c.c);
  }
  // The Latin-1 fast path agrees with the Unicode character types.
  for (char16_t c = 0; c < 256; ++c) {
    EXPECT_EQ(IsWideLetter(c), u_isalpha(c) != 0) << static_cast<int>(c);
    EXPECT_EQ(IsWideDigit(c), u_isdigit(c) != 0) << static_cast<int>(c);
    EXPECT_EQ(IsWideLetterOrDigit(c), u_isalnum(c) != 0) << static_cast<int>(c);
  }
  EXPECT_EQ(ToLowerWide(u'\u0416'), u'\u0436');
  EXPECT_EQ(ToLowerWide(u'A'), u'a');
  EXPECT_EQ(ToLowerWide(char16_t{0xD83D}), char16_t{0xD83D});
}

}  // namespace
}  // namespace quorvel::platform
