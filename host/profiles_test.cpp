#include "host/profiles.h"

#include <gtest/gtest.h>

#include <string>

namespace quorvel::host {
namespace {

// `--address` took any text: a name with its angle brackets, a list, a line end.
TEST(ProfilesTest, OnlyPlainAddressesAreTheUsersOwn) {
  struct Case {
    std::string address;
    bool valid;
  } cases[] = {
      {"me@home.example", true},
      {"first.last+tag@mail-1.example.org", true},
      {"me@localhost", true},
      {std::string(64, 'l') + "@x.example", true},
      {std::string(65, 'l') + "@x.example", false},
      {"me@" + std::string(63, 'd') + ".example", true},
      {"me@" + std::string(64, 'd') + ".example", false},
      {"", false},
      {"me", false},
      {"@home.example", false},
      {"me@", false},
      {"me@@home.example", false},
      {"me@home@example", false},
      {"Me <me@home.example>", false},
      {"me@home.example, you@home.example", false},
      {"me @home.example", false},
      {"me@home.example\n", false},
      {std::string("me\0@home.example", 16), false},
      {"me@home..example", false},
      {"me@home.example.", false},
      {"me@home_box.example", false},
      {"me@[127.0.0.1]", false},
      {"m\x1b[31me@home.example", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ValidAddress(c.address), c.valid) << c.address;
  }
}

}  // namespace
}  // namespace quorvel::host
