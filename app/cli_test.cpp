#include "app/cli.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace quorvel::app {
namespace {

struct CliRun {
  int status;
  std::string out;
  std::string err;
};

CliRun RunWith(std::vector<const char*> args) {
  args.insert(args.begin(), "quorvel");
  std::ostringstream out, err;
  int status = RunCommandLine(static_cast<int>(args.size()), args.data(), out, err);
  return {status, out.str(), err.str()};
}

TEST(CommandLine, VersionPrintsTheVersionAndSucceeds) {
  CliRun r = RunWith({"--version"});
  EXPECT_EQ(r.status, kExitOk);
  EXPECT_NE(r.out.find("quorvel "), std::string::npos);
}

TEST(CommandLine, HelpListsUsage) {
  CliRun r = RunWith({"--help"});
  EXPECT_EQ(r.status, kExitOk);
  EXPECT_NE(r.out.find("Usage"), std::string::npos);
}

TEST(CommandLine, UnknownOptionIsAUsageErrorOnStandardError) {
  CliRun r = RunWith({"--no-such-option"});
  EXPECT_EQ(r.status, kExitUsage);
  EXPECT_TRUE(r.out.empty());
  EXPECT_NE(r.err.find("quorvel:"), std::string::npos);
}

}  // namespace
}  // namespace quorvel::app
