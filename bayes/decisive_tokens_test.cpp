#include "bayes/decisive_tokens.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace quorvel {
namespace {

struct Added {
  std::u16string_view text;
  double probability;
};

// What scoring did before: every known token, stably sorted by probability.
std::vector<Added> StablySorted(std::vector<Added> all) {
  std::stable_sort(all.begin(), all.end(),
                   [](const Added& a, const Added& b) { return a.probability < b.probability; });
  return all;
}

// Many ties (few distinct probabilities) and many tokens of the same text, so that
// only the order in which they came tells them apart.
TEST(DecisiveTokensTest, MatchesBothEndsOfAStableSort) {
  std::mt19937 random(7);
  const std::u16string texts[] = {u"alpha", u"beta", u"gamma", u"delta"};
  const double probabilities[] = {0.01, 0.2, 0.5, 0.5, 0.9, 0.99, 0.0, 1.0};
  for (std::size_t n :
       {0u, 1u, 2u, 6u, 7u, 49u, 50u, 51u, 99u, 100u, 101u, 333u, 1023u, 1024u, 5000u}) {
    for (auto [lowCount, highCount] :
         {std::pair<std::size_t, std::size_t>{50, 50}, {3, 2}, {0, 4}}) {
      std::vector<Added> all;
      DecisiveTokens tokens(lowCount, highCount);
      for (std::size_t i = 0; i < n; ++i) {
        const Added a{texts[random() % 4], probabilities[random() % 8]};
        all.push_back(a);
        tokens.Add(a.text, a.probability);
      }
      ASSERT_EQ(tokens.count(), n);
      const std::vector<Added> sorted = StablySorted(all);
      const auto lowest = tokens.Lowest();
      const auto highest = tokens.Highest();
      ASSERT_EQ(lowest.size(), std::min(n, lowCount));
      ASSERT_EQ(highest.size(), std::min(n, highCount));
      for (std::size_t i = 0; i < lowest.size(); ++i) {
        EXPECT_EQ(lowest[i].probability, sorted[i].probability) << n << " low " << i;
        EXPECT_EQ(lowest[i].text.data(), sorted[i].text.data()) << n << " low " << i;
        // The same token among equals: its place in the sequence decides.
        const std::size_t seq = static_cast<std::size_t>(lowest[i].sequence);
        EXPECT_EQ(all[seq].probability, sorted[i].probability);
      }
      for (std::size_t i = 0; i < highest.size(); ++i) {
        const Added& expected = sorted[n - 1 - i];
        EXPECT_EQ(highest[i].probability, expected.probability) << n << " high " << i;
        EXPECT_EQ(highest[i].text.data(), expected.text.data()) << n << " high " << i;
      }
    }
  }
}

TEST(DecisiveTokensTest, TiedTokensKeepTheirOrderAtBothEnds) {
  const std::u16string a = u"a", b = u"b", c = u"c";
  DecisiveTokens tokens(2, 2);
  tokens.Add(a, 0.5);
  tokens.Add(b, 0.5);
  tokens.Add(c, 0.5);
  const auto lowest = tokens.Lowest();
  const auto highest = tokens.Highest();
  // Sorted stably: a, b, c. Lowest: a, b; highest from the end: c, b.
  ASSERT_EQ(lowest.size(), 2u);
  EXPECT_EQ(lowest[0].text, u"a");
  EXPECT_EQ(lowest[1].text, u"b");
  ASSERT_EQ(highest.size(), 2u);
  EXPECT_EQ(highest[0].text, u"c");
  EXPECT_EQ(highest[1].text, u"b");
}

}  // namespace
}  // namespace quorvel
