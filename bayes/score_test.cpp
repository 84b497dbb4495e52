#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "bayes/probability_table.h"
#include "bayes/test_bytes.h"
#include "platform/code_page.h"

namespace quorvel {
namespace {

using testing_bytes::Bytes;
using testing_bytes::TempFolder;
using testing_bytes::WriteFile;

using Entries = std::vector<std::pair<std::u16string, double>>;

// A table loaded from a file that holds exactly `entries` (plus the spam tokens that
// every load adds).
class ScoreTest : public ::testing::Test {
 protected:
  void Load(const Entries& entries) {
    Bytes b;
    b.Scrambled(true).I32(5).U8(0).I32(37).I32(10).I32(10).F64(0.99).F64(0.01).I32(5).I32(15).I32(
        1);
    for (const auto& [token, p] : entries) b.Text(token).F64(p);
    WriteFile(dir_.File("Bayes.db"), b.str());
    table_.SetPath(dir_.File("Bayes.db"));
    ASSERT_TRUE(table_.EnsureLoaded());
  }

  int Score(std::u16string_view subject, std::u16string_view body, bool urlNearTop = false) {
    explanation_ = "unset";
    score_ = -1;
    return table_.Score(urlNearTop, subject, body, &explanation_, &score_);
  }

  TempFolder dir_;
  ProbabilityTable table_;
  std::string explanation_;
  double score_ = -1;
};

std::u16string Words(const std::u16string& stem, int count) {
  std::u16string text;
  for (int i = 0; i < count; ++i) {
    text += stem;
    text += static_cast<char16_t>(u'g' + i / 20);
    text += static_cast<char16_t>(u'g' + i % 20);
    text += u' ';
  }
  return text + u" ";
}

std::u16string Word(const std::u16string& stem, int i) {
  return stem + static_cast<char16_t>(u'g' + i / 20) + static_cast<char16_t>(u'g' + i % 20);
}

Entries Same(const std::u16string& stem, int count, double p) {
  Entries e;
  for (int i = 0; i < count; ++i) e.emplace_back(Word(stem, i), p);
  return e;
}

Entries Join(Entries a, const Entries& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST_F(ScoreTest, TooFewBodyTokensWhateverTheSubject) {
  Load(Join(Same(u"body", 7, 0.99), Same(u"subj", 10, 0.99)));
  EXPECT_EQ(Score(Words(u"subj", 10), Words(u"body", 6)), kScoreTooFewTokens);
  EXPECT_EQ(explanation_, "unset");
  EXPECT_EQ(score_, -1);
  // Blanks only: no body tokens at all.
  EXPECT_EQ(Score(Words(u"subj", 10), u" \r\n\t  \r\n"), kScoreTooFewTokens);
}

TEST_F(ScoreTest, TooFewKnownBodyTokens) {
  Load(Join(Same(u"body", 6, 0.99), Same(u"subj", 10, 0.99)));
  // Seven body tokens, six known; known subject tokens do not help.
  EXPECT_EQ(Score(Words(u"subj", 10), Words(u"body", 7)), kScoreTooFewKnown);
  EXPECT_EQ(explanation_, "unset");
}

TEST_F(ScoreTest, EmptyTableGivesTooFewKnown) {
  Load({});
  EXPECT_EQ(Score(u"", Words(u"body", 20)), kScoreTooFewKnown);
}

TEST_F(ScoreTest, SevenDecisiveTokens) {
  Load(Join(Same(u"spam", 7, 0.99), Same(u"good", 7, 0.01)));
  EXPECT_EQ(Score(u"", Words(u"spam", 7)), kScoreSpam);
  EXPECT_NEAR(score_, 1.0 / (1.0 + std::pow(1.0 / 0.99 - 1.0, 7)), 1e-12);
  EXPECT_GT(score_, 1.0 - 1.1e-14);

  EXPECT_EQ(Score(u"", Words(u"good", 7)), kScoreGood);
  EXPECT_NEAR(score_, 1.0 / (1.0 + std::pow(99.0, 7)), 1e-20);
  EXPECT_NEAR(score_ / 1.07e-14, 1.0, 0.01);
}

TEST_F(ScoreTest, NeutralTokensScoreExactlyHalf) {
  Load(Same(u"half", 7, 0.5));
  EXPECT_EQ(Score(u"", Words(u"half", 7)), kScoreGood);
  EXPECT_EQ(score_, 0.5);
}

TEST_F(ScoreTest, ScoreOfExactlyPointEightIsNotSpam) {
  Load(Join(Same(u"half", 6, 0.5), {{u"edge", 0.8}, {u"over", 0.81}}));
  EXPECT_EQ(Score(u"", Words(u"half", 6) + u"edge  "), kScoreGood);
  EXPECT_EQ(score_, 0.8);
  EXPECT_EQ(Score(u"", Words(u"half", 6) + u"over  "), kScoreSpam);
}

TEST_F(ScoreTest, SubjectTokensJoinAfterTheBodyCheck) {
  Load(Join(Same(u"half", 7, 0.5), Same(u"subj", 3, 0.99)));
  EXPECT_EQ(Score(Words(u"subj", 3), Words(u"half", 7)), kScoreSpam);
  EXPECT_NEAR(score_, 1.0 / (1.0 + std::pow(1.0 / 0.99 - 1.0, 3)), 1e-12);
}

TEST_F(ScoreTest, LinksCountAsTheMarkerAndAreNotListed) {
  Load(Same(u"half", 7, 0.5));
  EXPECT_EQ(Score(u"", Words(u"half", 7) + u"http://a.example/x www.b.example  "), kScoreSpam);
  const double factor = 1.0 / 0.99 - 1.0;
  EXPECT_NEAR(score_, 1.0 / (1.0 + factor * factor), 1e-12);
  EXPECT_THAT(explanation_, ::testing::Not(::testing::HasSubstr("url")));
  EXPECT_THAT(explanation_, ::testing::StartsWith("halfgm\t0.5000000\r\n"));
}

TEST_F(ScoreTest, DuplicatesCountEachTime) {
  Load(Join(Same(u"half", 7, 0.5), {{u"casino", 0.9}}));
  EXPECT_EQ(Score(u"", Words(u"half", 7) + u"casino casino casino  "), kScoreSpam);
  EXPECT_NEAR(score_, 1.0 / (1.0 + std::pow(1.0 / 0.9 - 1.0, 3)), 1e-12);
  EXPECT_EQ(std::count(explanation_.begin(), explanation_.end(), '\n'), 10);
}

TEST_F(ScoreTest, ExplanationIsTheReverseOfTheStableSort) {
  // Equal probabilities keep body order in the sort, so they are listed backwards.
  Load({{u"first", 0.4},
        {u"second", 0.4},
        {u"third", 0.4},
        {u"high", 0.95},
        {u"low", 0.02},
        {u"zulu", 0.4},
        {u"yankee", 0.4}});
  EXPECT_EQ(Score(u"", u"first second third high low zulu yankee  "), kScoreGood);
  EXPECT_EQ(explanation_,
            "high\t0.9500000\r\n"
            "yankee\t0.4000000\r\n"
            "zulu\t0.4000000\r\n"
            "third\t0.4000000\r\n"
            "second\t0.4000000\r\n"
            "first\t0.4000000\r\n"
            "low\t0.0200000\r\n");
}

TEST_F(ScoreTest, OnlyTheFiftyLowestAndFiftyHighestOfManyCount) {
  Load(Join(Join(Same(u"low", 50, 0.3), Same(u"mid", 50, 0.6)), Same(u"top", 50, 0.7)));
  // Body order mixes the three groups.
  std::u16string body;
  for (int i = 0; i < 50; ++i) {
    body += Word(u"mid", i) + u" " + Word(u"top", i) + u" " + Word(u"low", i) + u" ";
  }
  body += u"  ";
  EXPECT_EQ(Score(u"", body), kScoreGood);
  double product = 1.0;
  for (int i = 0; i < 50; ++i) product = product * (1 / 0.3 - 1) * (1 / 0.7 - 1);
  EXPECT_NEAR(score_, 1.0 / (product + 1.0), 1e-12);
  EXPECT_THAT(explanation_, ::testing::Not(::testing::HasSubstr("mid")));
  EXPECT_EQ(std::count(explanation_.begin(), explanation_.end(), '\n'), 100);
  // Equal probabilities keep body order, and the listing runs backwards.
  EXPECT_THAT(explanation_, ::testing::StartsWith("topip\t0.7000000\r\n"));
  EXPECT_THAT(explanation_, ::testing::EndsWith("lowgg\t0.3000000\r\n"));
}

TEST_F(ScoreTest, OneTokenOverTheLimitIsLeftOutInTheMiddle) {
  // 101 tokens: the 50 lowest and the 50 highest are taken, the middle one is not.
  Load(Join(Join(Same(u"low", 50, 0.2), {{u"middle", 0.4}}), Same(u"top", 50, 0.9)));
  std::u16string body = Words(u"low", 50) + u"middle " + Words(u"top", 50);
  EXPECT_EQ(Score(u"", body), kScoreSpam);
  double product = 1.0;
  for (int i = 0; i < 50; ++i) product = product * (1 / 0.2 - 1) * (1 / 0.9 - 1);
  EXPECT_NEAR(score_, 1.0 / (product + 1.0), 1e-12);
  EXPECT_THAT(explanation_, ::testing::Not(::testing::HasSubstr("middle")));
  EXPECT_EQ(std::count(explanation_.begin(), explanation_.end(), '\n'), 100);
}

TEST_F(ScoreTest, ContentMarkersAreDropped) {
  Load(Join(Same(u"half", 6, 0.5), {{u"arbr1cd0", 0.99}, {u"arbr4cd0", 0.99}}));
  EXPECT_EQ(Score(u"", Words(u"half", 6) + u"arbr1cd0 arbr2cd0  "), kScoreTooFewTokens);
  EXPECT_EQ(Score(u"", Words(u"half", 6) + u"arbr4cd0  "), kScoreSpam);
}

TEST_F(ScoreTest, ExplanationUsesTheCodePage) {
  Load(Join(Same(u"half", 6, 0.5), {{u"caf\u00e9s", 0.5}, {u"\u4e2d\u6587\u5b57", 0.5}}));
  EXPECT_EQ(Score(u"", Words(u"half", 6) + u"caf\u00e9s \u4e2d\u6587\u5b57  "), kScoreGood);
  EXPECT_THAT(explanation_, ::testing::HasSubstr("???\t0.5000000\r\ncaf\xe9s\t0.5000000\r\n"));
}

TEST_F(ScoreTest, LinkNearTopKeepsOnlyTheBeginning) {
  Load(Same(u"half", 40, 0.5));
  // The known words start on the ninth line.
  std::u16string body = u"http://x.example/\r\n";
  for (int i = 0; i < 8; ++i) body += u"zz\r\n";
  body += Words(u"half", 20);
  EXPECT_EQ(Score(u"", body, false), kScoreSpam);  // the link counts 0.99
  EXPECT_EQ(Score(u"", body, true), kScoreTooFewTokens);
}

TEST(BodyBeginningTest, RowsOfOneHundredTwenty) {
  std::u16string longLine(2000, u'a');
  EXPECT_EQ(BodyBeginning(longLine).size(), 960u);

  std::u16string lines;
  for (int i = 0; i < 20; ++i) lines += std::u16string(1, static_cast<char16_t>(u'a' + i)) + u"x\n";
  EXPECT_EQ(BodyBeginning(lines), u"axbxcxdxexfxgxhx");
  EXPECT_EQ(BodyBeginning(u"one\r\ntwo\r\n"), u"one\rtwo\r");

  // A 250-character line takes three rows; the room shrinks row by row.
  std::u16string mixed = std::u16string(250, u'b') + u"\n" + std::u16string(700, u'c') + u"\nd";
  std::u16string expected = std::u16string(250, u'b') + std::u16string(600, u'c');
  EXPECT_EQ(BodyBeginning(mixed), expected);
  EXPECT_EQ(BodyBeginning(u""), u"");
}

TEST(TokenProbabilityTest, Formula) {
  ProbabilityTable table;
  TableSettings s;
  s.goodMessageCount = 10;
  s.junkMessageCount = 20;
  table.set_settings(s);
  EXPECT_NEAR(table.TokenProbability(2, 8), 0.4 / (0.2 + 0.4), 1e-15);
  EXPECT_EQ(table.TokenProbability(0, 0), 0.99);  // both ratios 0: the maximum
  EXPECT_EQ(table.TokenProbability(5, 0), 0.01);  // clamped to the minimum
  EXPECT_EQ(table.TokenProbability(0, 3), 0.99);  // clamped to the maximum
  // Ratios above 1 count as 1.
  EXPECT_EQ(table.TokenProbability(50, 20), 0.5);
  EXPECT_EQ(table.TokenProbability(10, 100), 0.5);
  s.goodMessageCount = 0;
  table.set_settings(s);
  EXPECT_EQ(table.TokenProbability(4, 0), 0.99);  // no good messages: ratio 0
}

TokenCorpus CorpusOf(std::int32_t messages, const Entries& counts) {
  TokenCorpus c;
  c.set_messageCount(messages);
  for (const auto& [token, count] : counts) c.Set(token, static_cast<std::int32_t>(count));
  return c;
}

TEST(CompileTest, MinimumCountAndSpamTokens) {
  ProbabilityTable table;
  TokenCorpus good =
      CorpusOf(10, {{u"meeting", 6}, {u"rare", 1}, {u"viagra", 9}, {u"mixed", 1}, {u"edge", 4}});
  TokenCorpus junk = CorpusOf(10, {{u"mixed", 3}, {u"pills", 5}, {u"lonely", 4}, {u"edge", 1}});
  table.Compile(good, junk);
  EXPECT_EQ(table.Probability(u"mixed"), std::nullopt);  // 1 + 3 < 5
  EXPECT_EQ(table.Probability(u"lonely"), std::nullopt);
  EXPECT_EQ(table.Probability(u"rare"), std::nullopt);
  EXPECT_EQ(table.Probability(u"pills"), 0.99);
  EXPECT_EQ(table.Probability(u"meeting"), 0.01);
  EXPECT_NEAR(*table.Probability(u"edge"), 0.1 / (0.4 + 0.1), 1e-15);
  EXPECT_EQ(table.Probability(u"viagra"), 0.99);  // learned only as good
  EXPECT_EQ(table.Probability(kUrlMarker), 0.99);
  TableStatistics stats = table.Statistics();
  EXPECT_EQ(stats.goodMessages, 10);
  EXPECT_EQ(stats.junkMessages, 10);
  EXPECT_EQ(stats.entries, 3u + PredefinedSpamTokens.size());
}

TEST(CompileTest, GoodWeightMultipliesGoodCounts) {
  ProbabilityTable table;
  TableSettings s;
  s.goodWeight = 2;
  table.set_settings(s);
  table.Compile(CorpusOf(10, {{u"meeting", 3}, {u"mixed", 1}}), CorpusOf(10, {{u"mixed", 3}}));
  EXPECT_EQ(table.Probability(u"meeting"), 0.01);  // 3 * 2 >= 5
  EXPECT_NEAR(*table.Probability(u"mixed"), 0.3 / (0.2 + 0.3), 1e-15);
}

}  // namespace
}  // namespace quorvel
