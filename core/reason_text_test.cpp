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

}  // namespace
}  // namespace quorvel
