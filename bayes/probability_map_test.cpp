#include "bayes/probability_map.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

namespace quorvel {
namespace {

std::map<std::u16string, double> Contents(const ProbabilityMap& map) {
  std::map<std::u16string, double> out;
  std::u16string previous;
  bool first = true;
  map.ForEach([&](std::u16string_view token, double p) {
    EXPECT_TRUE(first || previous < token) << "not strictly ascending";
    first = false;
    previous = token;
    out.emplace(token, p);
  });
  return out;
}

// Behaves like an ordered map that each Append sets, whatever the order of appends.
TEST(ProbabilityMapTest, MatchesAnOrderedMap) {
  std::mt19937 random(7);
  for (int round = 0; round < 50; ++round) {
    ProbabilityMap map;
    std::map<std::u16string, double> expected;
    const int batches = 1 + round % 3;
    for (int batch = 0; batch < batches; ++batch) {
      std::vector<std::u16string> tokens;
      const int count = static_cast<int>(random() % 200);
      for (int i = 0; i < count; ++i) {
        std::u16string token;
        const int length = static_cast<int>(random() % 6);  // includes "" and shared prefixes
        for (int j = 0; j < length; ++j) token.push_back(u"ab\0\u00e9\uffff"[random() % 5]);
        tokens.push_back(token);
      }
      if (round % 2 == 0) std::sort(tokens.begin(), tokens.end());  // a sorted head, then more
      for (const auto& token : tokens) {
        double p = static_cast<double>(random() % 1000) / 1000;
        map.Append(token, p);
        expected[token] = p;
      }
      map.Finish();
      ASSERT_EQ(Contents(map), expected) << "round " << round;
      for (const auto& [token, p] : expected) {
        const double* found = map.Find(token);
        ASSERT_NE(found, nullptr);
        EXPECT_EQ(*found, p);
      }
      EXPECT_EQ(map.Find(u"absent-token"), nullptr);
    }
  }
}

TEST(ProbabilityMapTest, EmptyMapFindsNothing) {
  ProbabilityMap map;
  EXPECT_EQ(map.Find(u"x"), nullptr);
  map.Finish();
  EXPECT_EQ(map.Find(u""), nullptr);
  map.Append(u"", 0.5);
  map.Finish();
  ASSERT_NE(map.Find(u""), nullptr);
  EXPECT_EQ(*map.Find(u""), 0.5);
}

}  // namespace
}  // namespace quorvel
