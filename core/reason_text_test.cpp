#include "core/reason_text.h"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

TEST(FormatReasonTest, FillsTheValueIntoItsPlace) {
  EXPECT_EQ(FormatReason(kReasonWhiteAddress, "john@example.org"),
            "Sender's address is in White List\njohn@example.org");
  EXPECT_EQ(FormatReason(kReasonBlackWildcard, "*@spam.example"),
            "Sender's address matches with one of the Black List wilcdards\n*@spam.example");
}

TEST(FormatReasonTest, AValueWithPercentSignsIsCopiedAsItIs) {
  EXPECT_EQ(FormatReason(kReasonSpamWord, "100%s%%free"),
            "The message contains spam word from custom dictionary\n100%s%%free");
}

TEST(FormatReasonTest, BayesianReasonCarriesScoreAndReport) {
  EXPECT_EQ(FormatReason(kReasonBayesScore, "cheap\t0.9900000\r\n", 0.876),
            "Bayesian Filter\nTotal Score is 0.88\r\n-------------------\r\ncheap\t0.9900000\r\n");
  EXPECT_EQ(FormatReason(kReasonBayesScore, "", 1e300).substr(0, 30),
            "Bayesian Filter\nTotal Score is");
}

TEST(FormatReasonTest, TextsWithoutPlaceholdersAndUnknownIds) {
  EXPECT_EQ(FormatReason(kReasonBlankSender), "Blank \"From\" field");
  EXPECT_EQ(FormatReason(kReasonSuspiciousReport),
            "Not Delivery Report: Possible spam or virus attack.\r\n");
  EXPECT_EQ(FormatReason(kMessageMailbaseMissing),
            "Could not load spam mail base.\nPlease reinstall Quorvel.");
  EXPECT_EQ(FormatReason(9999, "x"), "");
}

TEST(BayesScoreInReasonTest, FoundOnlyInTheBayesianScoreReason) {
  EXPECT_EQ(BayesScoreInReason(FormatReason(kReasonBayesScore, "cheap\t0.99\r\n", 0.876)), "0.88");
  EXPECT_EQ(BayesScoreInReason(FormatReason(kReasonBayesScore, "", 0.0)), "0.00");
  // The other Bayesian texts and a list rule's text that merely quotes the words.
  EXPECT_EQ(BayesScoreInReason(FormatReason(kReasonBayesTooLittle)), "");
  EXPECT_EQ(BayesScoreInReason(FormatReason(kReasonNoDecision)), "");
  EXPECT_EQ(BayesScoreInReason(FormatReason(kReasonSpamWord, "Total Score is 0.10\r\n")), "");
  EXPECT_EQ(BayesScoreInReason("Bayesian Filter\nTotal Score is x1\r\n"), "");
  EXPECT_EQ(BayesScoreInReason("Bayesian Filter\nTotal Score is 0.5"), "");
}

TEST(ReasonFirstLineTest, EndsAtTheFirstLineBreakOfEitherKind) {
  EXPECT_EQ(ReasonFirstLine(FormatReason(kReasonBayesScore, "", 0.5)), "Bayesian Filter");
  EXPECT_EQ(ReasonFirstLine(FormatReason(kReasonDeliveryReport)), "Delivery Status Notification");
  EXPECT_EQ(ReasonFirstLine("one line"), "one line");
  EXPECT_EQ(ReasonFirstLine(""), "");
}

}  // namespace
}  // namespace quorvel
