#include "crash/version_text.h"

#include <string>

#include "gtest/gtest.h"

namespace quorvel::crash {
namespace {

TEST(VersionTextTest, PrettyNameUnquotedAndUnescaped) {
  EXPECT_EQ(PrettyNameOf("NAME=x\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nID=debian\n"),
            "Debian GNU/Linux 12 (bookworm)");
  EXPECT_EQ(PrettyNameOf("PRETTY_NAME='Arch Linux'"), "Arch Linux");
  EXPECT_EQ(PrettyNameOf("PRETTY_NAME=Plain"), "Plain");
  EXPECT_EQ(PrettyNameOf("PRETTY_NAME=\"Say \\\"hi\\\"\""), "Say \"hi\"");
  EXPECT_EQ(PrettyNameOf("NOT_PRETTY_NAME=\"x\"\n"), "");
  EXPECT_EQ(PrettyNameOf(""), "");
}

TEST(VersionTextTest, SystemTextFollowsTheBufferRules) {
  const SystemIdentity debian{"Linux", "6.1.0-18-amd64", "x86_64",
                              "Debian GNU/Linux 12 (bookworm)"};
  struct Case {
    std::size_t buffer;
    SystemIdentity system;
    std::string want;
  };
  const Case cases[] = {
      {259, debian, "Linux Debian GNU/Linux 12 (bookworm) (build 6.1.0-18-amd64) (x86_64)"},
      {63, debian, ""},
      // 59 characters without the machine: it fits only with 4 characters to spare.
      {70, debian, "Linux Debian GNU/Linux 12 (bookworm) (build 6.1.0-18-amd64)"},
      {71, debian, "Linux Debian GNU/Linux 12 (bookworm) (build 6.1.0-18-amd64)"},
      {72, debian, "Linux Debian GNU/Linux 12 (bookworm) (build 6.1.0-18-amd64) (x86_64)"},
      {64, {"Linux", "5.10", "", ""}, "Linux (build 5.10)"},
      {259, {"", "5.10", "x86_64", "Debian"}, ""},
      {64, {"Linux", std::string(100, 'r'), "x", ""}, "Linux (build " + std::string(50, 'r')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.buffer);
    EXPECT_EQ(SystemVersionText(c.buffer, c.system), c.want);
  }
}

TEST(VersionTextTest, ThisMachineHasAName) {
  const SystemIdentity self = ReadSystemIdentity();
  EXPECT_EQ(self.name, "Linux");
  EXPECT_FALSE(self.release.empty());
  EXPECT_EQ(HostVersionText("Quorvel host", "0.1.0"), " Quorvel host 0.1.0");
}

}  // namespace
}  // namespace quorvel::crash
