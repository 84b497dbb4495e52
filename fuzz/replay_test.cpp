// Replays every seed (corpus/<target>/) and every crash ever found (crashes/<target>/)
// through its target, one test per file. A crash fails the test program; a broken
// check fails the test with the target's words.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "fuzz/fuzz_targets.h"

namespace quorvel {
namespace {

struct ReplayCase {
  std::string target;
  std::string kind;  // "corpus" or "crashes"
  std::filesystem::path file;
};

std::vector<ReplayCase> AllCases() {
  std::vector<ReplayCase> cases;
  for (const FuzzTarget& target : FuzzTargets()) {
    for (const char* kind : {"corpus", "crashes"}) {
      const std::filesystem::path folder =
          std::filesystem::path(QUORVEL_FUZZ_DIR) / kind / target.name;
      std::error_code error;
      std::vector<std::filesystem::path> files;
      for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        if (entry.is_regular_file()) files.push_back(entry.path());
      }
      std::sort(files.begin(), files.end());
      for (const auto& file : files) cases.push_back({std::string(target.name), kind, file});
    }
  }
  return cases;
}

std::string CaseName(const testing::TestParamInfo<ReplayCase>& info) {
  std::string name =
      info.param.target + "_" + info.param.kind + "_" + info.param.file.filename().string();
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
}

class ReplayTest : public testing::TestWithParam<ReplayCase> {};

TEST_P(ReplayTest, RunsCleanly) {
  const ReplayCase& replay = GetParam();
  std::ifstream in(replay.file, std::ios::binary);
  ASSERT_TRUE(in) << replay.file;
  const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                        std::istreambuf_iterator<char>());
  const FuzzTarget* target = FindFuzzTarget(replay.target);
  ASSERT_NE(target, nullptr);
  EXPECT_EQ(target->run(bytes), "") << replay.file;
}

INSTANTIATE_TEST_SUITE_P(Files, ReplayTest, testing::ValuesIn(AllCases()), CaseName);

// Every target has seeds, so that a target nobody feeds cannot pass unnoticed.
TEST(ReplaySeeds, EveryTargetHasSeeds) {
  const std::vector<ReplayCase> cases = AllCases();
  for (const FuzzTarget& target : FuzzTargets()) {
    EXPECT_TRUE(std::any_of(cases.begin(), cases.end(), [&](const ReplayCase& c) {
      return c.target == target.name && c.kind == "corpus";
    })) << target.name;
  }
}

}  // namespace
}  // namespace quorvel
