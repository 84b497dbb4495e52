#include "settings/spam_folder_image.h"

#include <gtest/gtest.h>

#include <string>

namespace quorvel {
namespace {

SpamFolderMap TwoProfiles() {
  SpamFolderMap map;
  map["Work"] = {u"00A1B2", u"Mailbox -> Inbox -> Spam"};
  map["home"] = {u"FF", u"Pers\u00f6nlich -> \u0421\u043f\u0430\u043c"};  // not ANSI text
  return map;
}

TEST(SpamFolderImageTest, LayoutIsCountThenKeyAndTwoWideStringsInKeyOrder) {
  SpamFolderMap map;
  map["b"] = {u"1", u""};
  map["A"] = {u"", u"\u20ac"};
  // clang-format off
  std::string expected(
      "\x02\x00"             // two pairs
      "\x01" "A"            // "A" sorts before "b" without regard to case
      "\x00\x00"             // empty entry identifier
      "\x01\x00" "\xac\x20"  // one UTF-16 unit, little-endian
      "\x01" "b"
      "\x01\x00" "1\x00"
      "\x00\x00",
      18);
  // clang-format on
  EXPECT_EQ(WriteSpamFolderImage(map), expected);
}

TEST(SpamFolderImageTest, RoundTripKeepsWideTextAndCaseInsensitiveKeys) {
  SpamFolderMap loaded;
  ASSERT_TRUE(ReadSpamFolderImage(WriteSpamFolderImage(TwoProfiles()), &loaded).Ok());
  EXPECT_EQ(loaded, TwoProfiles());
  EXPECT_EQ(loaded.count("HOME"), 1u);
}

TEST(SpamFolderImageTest, LongKeysAndNamesUseTheEscapedLengths) {
  SpamFolderMap map;
  map[std::string(300, 'k')] = {std::u16string(70'000, u'x'), u"n"};
  std::string image = WriteSpamFolderImage(map);
  // Key: 0xFF and a 16-bit length; entry identifier: 0xFFFF and a 32-bit count.
  EXPECT_EQ(image.substr(2, 3), std::string("\xff\x2c\x01", 3));
  EXPECT_EQ(image.substr(305, 6), std::string("\xff\xff\x70\x11\x01\x00", 6));
  SpamFolderMap loaded;
  ASSERT_TRUE(ReadSpamFolderImage(image, &loaded).Ok());
  EXPECT_EQ(loaded, map);
}

TEST(SpamFolderImageTest, EveryTruncationIsRefusedAndLeavesTheMapAlone) {
  std::string image = WriteSpamFolderImage(TwoProfiles());
  SpamFolderMap previous;
  previous["keep"] = {u"1", u"2"};
  for (std::size_t n = 0; n < image.size(); ++n) {
    SpamFolderMap map = previous;
    ArchiveStatus status = ReadSpamFolderImage(image.substr(0, n), &map);
    EXPECT_FALSE(status.Ok()) << "cut at " << n;
    EXPECT_EQ(map, previous) << "cut at " << n;
  }
}

TEST(SpamFolderImageTest, DamagedImagesAreRefused) {
  struct Case {
    const char* what;
    std::string image;
  } cases[] = {
      {"pair count beyond the image", std::string("\xff\xff\xff\xff\xff\x7f", 6)},
      {"unit count beyond the image", std::string("\x01\x00\x00\xff\xff\x00\x00\x00\x10", 9)},
      {"key length beyond the image", std::string("\x01\x00\xff\xff\xff\xff\xff\xff\xff", 9)},
      {"bytes left over", WriteSpamFolderImage(TwoProfiles()) + "x"},
  };
  for (const Case& c : cases) {
    SpamFolderMap map = TwoProfiles();
    ArchiveStatus status = ReadSpamFolderImage(c.image, &map);
    EXPECT_FALSE(status.Ok()) << c.what;
    EXPECT_EQ(map, TwoProfiles()) << c.what;
  }
}

}  // namespace
}  // namespace quorvel
