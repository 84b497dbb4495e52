#include "mapi/mime/mime_text.h"

#include <gtest/gtest.h>

#include <string>

namespace quorvel::mapi {
namespace {

// A high byte at every position around the eight-byte steps of the scan.
TEST(MimeTextTest, AsciiAndUtf8ChecksSeeAHighByteAnywhere) {
  for (std::size_t length = 0; length <= 20; ++length) {
    const std::string ascii(length, 'a');
    EXPECT_TRUE(IsAscii(ascii)) << length;
    EXPECT_TRUE(IsValidUtf8(ascii)) << length;
    for (std::size_t at = 0; at < length; ++at) {
      std::string high = ascii;
      high[at] = '\xE9';  // Latin-1 e acute: not ASCII, and a broken UTF-8 lead
      EXPECT_FALSE(IsAscii(high)) << length << " " << at;
      EXPECT_FALSE(IsValidUtf8(high)) << length << " " << at;
      if (at + 1 < length) {
        high[at] = '\xC3';
        high[at + 1] = '\xA9';  // the same letter in UTF-8
        EXPECT_TRUE(IsValidUtf8(high)) << length << " " << at;
      }
    }
  }
}

TEST(MimeTextTest, ToCrlfMakesEveryLineEndCrlf) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},
      {"no breaks", "no breaks"},
      {"a\nb", "a\r\nb"},
      {"a\rb", "a\r\nb"},
      {"a\r\nb", "a\r\nb"},
      {"\n\n", "\r\n\r\n"},
      {"\r", "\r\n"},
      {"\n\r", "\r\n\r\n"},
      {"x\r\r\ny\n\rz", "x\r\n\r\ny\r\n\r\nz"},
      {"end\r\n", "end\r\n"},
  };
  for (const auto& [text, crlf] : cases) EXPECT_EQ(ToCrlf(text), crlf) << text.size();

  // A long body is converted into a buffer of exactly its converted length (one that
  // grew as it went would hold up to twice that).
  std::string mixed;
  for (int i = 0; i < 500; ++i) mixed += "line\nline\r\nline\r";
  const std::string out = ToCrlf(mixed);
  EXPECT_EQ(out.size(), mixed.size() + 1000);
  EXPECT_EQ(out.capacity(), out.size());
}

}  // namespace
}  // namespace quorvel::mapi
