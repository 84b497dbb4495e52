#include "mapi/entry_id.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace quorvel::mapi {
namespace {

EntryId Id(std::string_view bytes) { return EntryId(std::string(bytes)); }

TEST(EntryIdTest, OrderIsAbsentThenLengthThenUnsignedBytes) {
  // Listed in the order they must sort.
  const std::vector<EntryId> ordered = {
      EntryId(),  // absent
      Id(""),     // present, empty
      Id("\x7F"),
      Id("\x80"),  // bytes compare unsigned
      Id("\xFF"), Id("AA"), Id("AB"), Id(std::string("B\0", 2)), Id(std::string("\x00\x00\x00", 3)),
  };
  for (std::size_t i = 0; i < ordered.size(); ++i) {
    for (std::size_t j = 0; j < ordered.size(); ++j) {
      EXPECT_EQ(ordered[i] < ordered[j], i < j) << i << " vs " << j;
      EXPECT_EQ(ordered[i] == ordered[j], i == j) << i << " vs " << j;
    }
  }
}

TEST(EntryIdTest, CopiesShareBytesAndStayEqual) {
  EntryId a = Id("\x01\x02");
  EntryId b = a;
  EXPECT_EQ(a, b);
  EXPECT_EQ(a.bytes().data(), b.bytes().data());
  std::map<EntryId, int> byId = {{a, 1}, {EntryId(), 0}};
  EXPECT_EQ(byId.at(Id("\x01\x02")), 1);
  EXPECT_EQ(byId.begin()->second, 0);  // the absent id first
}

TEST(EntryIdTest, HexTextBothWays) {
  EXPECT_EQ(Id(std::string("\x00\xAB\x7F\xFF", 4)).ToHex(), "00AB7FFF");
  EXPECT_EQ(EntryId().ToHex(), "");
  struct Case {
    const char* hex;
    bool ok;
    std::string bytes;
  };
  const Case cases[] = {
      {"00AB7FFF", true, std::string("\x00\xAB\x7F\xFF", 4)},
      {"00ab7fff", true, std::string("\x00\xAB\x7F\xFF", 4)},
      {"", true, ""},
      {"ABC", false, ""},   // odd length
      {"0G", false, ""},    // not a hex digit
      {"12 4", false, ""},  // blank inside
  };
  for (const auto& c : cases) {
    auto id = EntryId::FromHex(c.hex);
    ASSERT_EQ(id.has_value(), c.ok) << c.hex;
    if (c.ok) {
      EXPECT_TRUE(id->present());
      EXPECT_EQ(id->bytes(), c.bytes) << c.hex;
      EXPECT_EQ(EntryId::FromHex(id->ToHex()), id);
    }
  }
}

}  // namespace
}  // namespace quorvel::mapi
