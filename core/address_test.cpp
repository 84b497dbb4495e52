#include "core/address.h"

#include <gtest/gtest.h>

#include <string>

namespace quorvel {
namespace {

TEST(SamePersonTest, ComparesNamesAndAddressesWithoutCase) {
  struct Case {
    const char* what;
    Identity a;
    Identity b;
    bool same;
    bool strictlySame;
  };
  const Case cases[] = {
      {"address differs only in case, names differ", {"Me@Example.org", "Me"},
       {"me@example.ORG", "Someone"}, true, true},
      {"name of one is the other's address", {"other@x.org", "me@example.org"},
       {"ME@example.org", "Me Myself"}, true, false},
      {"address of one is the other's name", {"me@example.org", "Me"},
       {"other@x.org", "ME@EXAMPLE.ORG"}, true, false},
      {"same names, different addresses", {"a@x.org", "Jane Doe"}, {"b@y.org", "jane doe"},
       true, false},
      {"both names empty", {"a@x.org", ""}, {"b@y.org", ""}, true, false},
      {"nothing in common", {"a@x.org", "A"}, {"b@y.org", "B"}, false, false},
      {"empty address is nobody", {"", "Me"}, {"me@x.org", "Me"}, false, false},
      {"empty address on the other side", {"me@x.org", ""}, {"", ""}, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(SamePerson(c.a, c.b, false), c.same);
    EXPECT_EQ(SamePerson(c.a, c.b, true), c.strictlySame);
  }
}

TEST(MakeIdentityTest, TrimsBothParts) {
  const Identity id = MakeIdentity(" <a@x.org>\r\n", "'\"Jane\"' ");
  EXPECT_EQ(id.address, "<a@x.org>");
  EXPECT_EQ(id.name, "Jane");
}

TEST(DisplayFormTest, AddressPartAndNameForm) {
  EXPECT_EQ(DisplayForm("/o=Acme/ou=Site/cn=Recipients/cn=JSmith", "John Smith", false),
            "John Smith (jsmith/Acme)");
  EXPECT_EQ(DisplayForm("/o=Acme/ou=Site/cn=Recipients/CN=Bob", "", true), "bob/Acme");
  EXPECT_EQ(DisplayForm("Jane@Example.org", "Jane", true), "Jane@Example.org");
  EXPECT_EQ(DisplayForm("jsmith", "", true), "");
  EXPECT_EQ(DisplayForm("jsmith", "John", false), "John ()");
}

TEST(FirstAddressTest, TakesTheRunAroundTheFirstAt) {
  struct Case {
    const char* text;
    const char* address;
  };
  const Case cases[] = {
      {"no address here", ""},
      {"", ""},
      {"@", "@"},
      {"word,john@example.org rest", "john@example.org"},
      {"Delivery to <John.Doe@Example.org> failed", "John.Doe@Example.org"},
      {"mail me at jane@example.org.", "jane@example.org."},
      {"first a@b.c then x@y.z", "a@b.c"},
      {"o'brien+tag@x-y.org{}", "o'brien+tag@x-y.org{}"},
      {"t\xE9@caf\xE9.fr", "@caf"},  // bytes of 128 and above stop the run
      {"a@b@c", "a@b"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(FirstAddress(c.text), c.address);
  }
  EXPECT_EQ(FirstAddress(std::string("x@y\0z", 5)), "x@y");
}

}  // namespace
}  // namespace quorvel
