#include "core/bayes_rule.h"

#include <gtest/gtest.h>

#include <string>

#include "core/classify_test_fixture.h"
#include "core/reason_text.h"

namespace quorvel {
namespace {

using testing_support::ClassifyFixture;
using testing_support::MessageSpec;

class BayesRuleTest : public ClassifyFixture {};

TEST_F(BayesRuleTest, AMissingMailBaseIsReportedOnceAndDecidesNothing) {
  const Verdict first = Judge(MessageSpec(), kCheckContent);
  EXPECT_FALSE(first.spam);
  EXPECT_EQ(first.reason, FormatReason(kReasonNoDecision));
  ASSERT_EQ(boxes_.shown().size(), 1u);
  EXPECT_EQ(boxes_.shown()[0].text, "Could not load spam mail base.\nPlease reinstall Quorvel.");
  EXPECT_EQ(boxes_.shown()[0].caption, "Quorvel");
  EXPECT_EQ(boxes_.shown()[0].style & platform::kMessageBoxButtonMask, platform::MB_OK);

  // From then on the empty table is used: nothing is known, which is suspicious.
  const Verdict second = Judge(MessageSpec(), kCheckContent);
  EXPECT_TRUE(second.spam);
  EXPECT_EQ(second.reason, FormatReason(kReasonBayesTooLittle));
  EXPECT_EQ(boxes_.shown().size(), 1u);
}

TEST_F(BayesRuleTest, TheReasonCarriesScoreAndTokens) {
  CompileTable({u"plain", u"words", u"ordinary", u"message"},
               {u"nothing", u"more", u"say", u"about", u"the", u"weather"});
  const Verdict verdict = Judge(MessageSpec(), kCheckContent);
  EXPECT_TRUE(verdict.spam);
  // 6 tokens at 0.99 against 4 at 0.01: 1 / (1 + 99^-2) = 0.9999.
  EXPECT_TRUE(
      verdict.reason.starts_with("Bayesian Filter\nTotal Score is 1.00\r\n-------------------\r\n"))
      << verdict.reason;
  EXPECT_NE(verdict.reason.find("weather\t0.9900000\r\n"), std::string::npos);
  EXPECT_NE(verdict.reason.find("plain\t0.0100000\r\n"), std::string::npos);
}

TEST_F(BayesRuleTest, TooFewKnownTokensIsSuspected) {
  CompileTable({u"plain", u"words"}, {});
  const Verdict verdict = Judge(MessageSpec(), kCheckContent);
  EXPECT_TRUE(verdict.spam);
  EXPECT_EQ(verdict.reason, FormatReason(kReasonBayesTooLittle));
}

// A link that starts near the top makes the filter read only the first rows of the
// body. The body here is one long line: good words, a link at `linkAt`, blanks up to
// character 960, then spam words that only count when the whole body is read.
TEST_F(BayesRuleTest, ALinkNearTheTopLimitsTheBodyToItsBeginning) {
  CompileTable({u"plain", u"words"}, {u"winner", u"prize"});
  for (std::size_t linkAt : {std::size_t{479}, std::size_t{480}}) {
    SCOPED_TRACE(linkAt);
    std::string body;
    for (int i = 0; i < 5; ++i) body += "plain words ";
    body.resize(linkAt, ' ');
    body += "http://x.example/";
    body.resize(960, ' ');
    for (int i = 0; i < 30; ++i) body += "winner prize ";
    body += "end\r\n";
    MessageSpec spec;
    spec.body = body;
    const Verdict verdict = Judge(spec, kCheckContent);
    EXPECT_EQ(verdict.spam, linkAt == 480) << verdict.reason;
  }
}

}  // namespace
}  // namespace quorvel
