#include "lists/archive.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lists/contact_list.h"
#include "lists/string_set.h"

namespace quorvel {
namespace {

constexpr platform::FileTime kLoadTime = 133'100'000'000'000'000ULL;

std::string Bytes(std::initializer_list<int> bytes) {
  std::string out;
  for (int b : bytes) out.push_back(static_cast<char>(b));
  return out;
}

std::vector<std::string> Strings(const StringSet& set) { return {set.begin(), set.end()}; }

TEST(ArchiveImageTest, ContactListMatchesTheByteLayout) {
  ContactList list;
  list.AddDomain(MakeContact("@d.org"));
  list.AddAddress(MakeContact("a@x.org"), "Al", 1);
  const std::string image = Bytes({2, 0,                                     // two groups
                                   6, '@', 'd', '.', 'o', 'r', 'g', 0,   0,  // domain entry
                                   6, '@', 'x', '.', 'o', 'r', 'g', 1,   0,  // one entry
                                   7, 'a', '@', 'x', '.', 'o', 'r', 'g', 2, 'A', 'l'});
  EXPECT_EQ(WriteImage(list), image);

  ContactList loaded;
  loaded.AddAddress(MakeContact("old@old.org"), "", 1);
  ASSERT_TRUE(ReadImage(loaded, image, kLoadTime).Ok());
  EXPECT_EQ(loaded.Count(), 2u);
  EXPECT_TRUE(loaded.Find(MakeContact("z@D.org"))->IsDomainEntry());
  const auto entry = loaded.Find(MakeContact("A@x.org"));
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->Name(), "Al");
  EXPECT_EQ(entry->Entry()->lastUsed, kLoadTime);
  EXPECT_FALSE(loaded.Find(MakeContact("old@old.org")));
}

TEST(ArchiveImageTest, EmptyImagesLoadAsEmptyContainers) {
  ContactList list;
  list.AddDomain(MakeContact("@x.org"));
  ASSERT_TRUE(ReadImage(list, Bytes({0, 0}), kLoadTime).Ok());
  EXPECT_TRUE(list.Empty());
  StringSet set;
  EXPECT_EQ(WriteImage(set), Bytes({0, 0}));
}

// Length prefixes at each boundary: one byte below 255, 0xFF + 16 bits below 0xFFFE,
// 0xFF 0xFFFF + 32 bits from there on.
TEST(ArchiveImageTest, StringLengthBoundaries) {
  struct Case {
    std::size_t length;
    std::string prefix;
  };
  const Case cases[] = {
      {0, Bytes({0})},
      {254, Bytes({0xFE})},
      {255, Bytes({0xFF, 0xFF, 0x00})},
      {65533, Bytes({0xFF, 0xFD, 0xFF})},
      {65534, Bytes({0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00})},
      {70000, Bytes({0xFF, 0xFF, 0xFF, 0x70, 0x11, 0x01, 0x00})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.length);
    const std::string text(c.length, 'w');
    StringSet set;
    set.Insert(text);
    const std::string image = Bytes({1, 0}) + c.prefix + text;
    EXPECT_EQ(WriteImage(set), image);
    StringSet loaded;
    ASSERT_TRUE(ReadImage(loaded, image, kLoadTime).Ok());
    EXPECT_EQ(Strings(loaded), std::vector<std::string>{text});
  }
}

TEST(ArchiveImageTest, LongerEscapesThanNeededAreRead) {
  StringSet set;
  ASSERT_TRUE(ReadImage(set,
                        Bytes({0xFF, 0xFF, 1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 2, 0, 0, 0, 'h', 'i'}),
                        kLoadTime)
                  .Ok());
  EXPECT_EQ(Strings(set), std::vector<std::string>{"hi"});
}

TEST(ArchiveImageTest, CountEscapeAt0xFFFF) {
  StringSet set;
  for (int i = 0; i < 0xFFFF; ++i) set.Insert(std::to_string(100000 + i));
  const std::string image = WriteImage(set);
  ASSERT_GE(image.size(), 6u);
  EXPECT_EQ(image.substr(0, 6), Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0, 0}));
  EXPECT_EQ(image.substr(6, 7), Bytes({6}) + "100000");
  StringSet loaded;
  ASSERT_TRUE(ReadImage(loaded, image, kLoadTime).Ok());
  EXPECT_EQ(loaded.Count(), 0xFFFFu);

  set.Erase("100000");  // 0xFFFE strings: the short form
  EXPECT_EQ(WriteImage(set).substr(0, 2), Bytes({0xFE, 0xFF}));
}

TEST(ArchiveImageTest, DuplicateKeysInAnImageAreMergedNotDoubled) {
  ContactList list;
  const std::string image =
      Bytes({3,   0,  //
             2,   '@', 'x', 1, 0,   3,   'a', '@', 'x', 0,   2,   '@', 'X', 2, 0,   3,   'A', '@',
             'x', 1,   'N', 3, 'b', '@', 'x', 0,   2,   '@', 'y', 1,   0,   3, 'c', '@', 'y', 0});
  ASSERT_TRUE(ReadImage(list, image, kLoadTime).Ok());
  EXPECT_EQ(list.Count(), 2u);
  EXPECT_EQ(list.Find(MakeContact("a@x"))->Address(), "a@x");
  EXPECT_EQ(list.Find(MakeContact("a@x"))->Name(), "");
  EXPECT_TRUE(list.Find(MakeContact("b@x")));
  StringSet set;
  ASSERT_TRUE(ReadImage(set, Bytes({2, 0, 1, 'Q', 1, 'q'}), kLoadTime).Ok());
  EXPECT_EQ(Strings(set), std::vector<std::string>{"Q"});
}

// Damaged images are refused and leave the container as it was.
TEST(ArchiveImageTest, DamagedImagesAreRefused) {
  const std::string good = Bytes({1, 0, 2, '@', 'x', 1, 0, 3, 'a', '@', 'x', 1, 'N'});
  struct Case {
    const char* what;
    std::string image;
  };
  const std::vector<Case> cases = {
      {"empty", ""},
      {"half a count", Bytes({1})},
      {"escaped count cut short", Bytes({0xFF, 0xFF, 1, 0})},
      {"count beyond the data", Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 2, '@', 'x', 0, 0})},
      {"group count beyond the data", Bytes({5, 0, 2, '@', 'x', 0, 0})},
      {"entry count beyond the data",
       Bytes({1, 0, 2, '@', 'x', 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF})},
      {"string longer than the rest", Bytes({1, 0, 200, '@', 'x', 0, 0})},
      {"huge 32-bit string length", Bytes({1, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0})},
      {"wide string marker", Bytes({1, 0, 0xFF, 0xFE, 0xFF, 0, 0})},
      {"truncated entry", good.substr(0, good.size() - 1)},
      {"missing name", good.substr(0, good.size() - 2)},
      {"trailing bytes", good + Bytes({0})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ContactList list;
    list.AddDomain(MakeContact("@kept.org"));
    const ArchiveStatus status = ReadImage(list, c.image, kLoadTime);
    EXPECT_FALSE(status.Ok());
    EXPECT_EQ(list.Count(), 1u);
    EXPECT_TRUE(list.Find(MakeContact("a@kept.org")));
  }
  ContactList list;
  EXPECT_TRUE(ReadImage(list, good, kLoadTime).Ok());

  StringSet set;
  set.Insert("kept");
  for (const std::string& image : {Bytes({2, 0, 1, 'a'}), Bytes({1, 0, 2, 'a'}),
                                   Bytes({0xFF, 0xFF, 0x10, 0, 0, 0, 0}), Bytes({0, 0, 0})}) {
    EXPECT_FALSE(ReadImage(set, image, kLoadTime).Ok());
    EXPECT_EQ(Strings(set), std::vector<std::string>{"kept"});
  }
}

}  // namespace
}  // namespace quorvel
