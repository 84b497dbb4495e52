#include "lists/string_set.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quorvel {
namespace {

TEST(MatchesWildcardTest, PiecesInOrderWithAnchoredStartOnly) {
  struct Case {
    const char* pattern;
    const char* subject;
    bool matches;
  };
  const Case cases[] = {
      {"*@example.org", "john@example.org", true},
      {"*@EXAMPLE.org", "John@Example.ORG", true},
      {"john*@example.org", "john.doe@example.org", true},
      {"john*@example.org", "john@example.org.example.com", true},  // end not tied
      {"john*@example.org", "xjohn@example.org", false},            // start tied
      {"*@*.example.org", "a@mail.example.org", true},
      {"*@*.example.org", "a@example.org", false},
      {"@*.example.org", "a@mail.example.org", false},  // "@..." needs a subject starting "@"
      {"@*.example.org", "@mail.example.org", true},
      {"*", "anything", true},
      {"**", "", true},
      {"a**b", "ab", true},
      {"a*a", "a", false},  // the second piece is searched after the first
      {"*ab*ab", "xabyab", true},
      {"*ab*ab", "xab", false},
      {"", "anything", false},
      {"exact@x.org", "exact@x.org", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.pattern) + " ~ " + c.subject);
    EXPECT_EQ(MatchesWildcard(c.pattern, c.subject), c.matches);
  }
}

TEST(StringSetTest, DeduplicatesWithoutCaseAndKeepsTheFirstForm) {
  StringSet set;
  EXPECT_TRUE(set.Insert("Lottery"));
  EXPECT_FALSE(set.Insert("lottery"));
  EXPECT_TRUE(set.Insert("apple"));
  EXPECT_TRUE(set.Contains("LOTTERY"));
  EXPECT_EQ(std::vector<std::string>(set.begin(), set.end()),
            (std::vector<std::string>{"apple", "Lottery"}));
  EXPECT_TRUE(set.Erase("APPLE"));
  EXPECT_FALSE(set.Erase("apple"));
  EXPECT_EQ(set.Count(), 1u);
}

TEST(StringSetTest, MatchWildcardReportsTheFirstMatchingPatternAsStored) {
  StringSet set;
  set.Insert("*@Spam.example");
  set.Insert("*spam*");
  set.Insert("plain@example.org");  // no star: a prefix test
  auto match = set.MatchWildcard(MakeContact(" 'Bob@SPAM.example' "));
  ASSERT_TRUE(match);
  EXPECT_EQ(*match, "*@Spam.example");
  match = set.MatchWildcard(MakeContact("spammer@other.org"));
  ASSERT_TRUE(match);
  EXPECT_EQ(*match, "*spam*");
  EXPECT_TRUE(set.MatchWildcard(MakeContact("plain@example.org.evil")));
  EXPECT_FALSE(set.MatchWildcard(MakeContact("friend@example.org")));
  EXPECT_FALSE(StringSet().MatchWildcard(MakeContact("x@y.org")));
}

}  // namespace
}  // namespace quorvel
