#include "ui/test_message_dialog.h"

#include <gtest/gtest.h>

namespace quorvel::ui {
namespace {

TEST(ReasonLinesTest, LinesAreTrimmedAndAShortTextGivesItsLastLine) {
  struct Case {
    const char* text;
    int n;
    const char* line;
  } cases[] = {
      {"Sender's address is in Black List\r\nx@y.example", 1, "Sender's address is in Black List"},
      {"Sender's address is in Black List\r\n  x@y.example \t", 2, "x@y.example"},
      {"Report from anti-virus software", 1, "Report from anti-virus software"},
      {"Report from anti-virus software", 2, "Report from anti-virus software"},
      {"one\ntwo", 5, "two"},
      {"one\n", 2, ""},
      {"", 1, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(ReasonLine(c.text, c.n), c.line) << c.text << " " << c.n;
}

TEST(ReasonLinesTest, AfterTheFirstLineIsEverythingAfterItsLineFeed) {
  EXPECT_EQ(AfterFirstLine("Bayesian Filter\nTotal Score is 0.99\r\n---\r\nfree\t0.99\r\n"),
            "Total Score is 0.99\r\n---\r\nfree\t0.99");
  EXPECT_EQ(AfterFirstLine("no line feed"), "");
  EXPECT_EQ(AfterFirstLine("first\n \t\r\n"), "");
}

TEST(TestMessageResultTest, ABayesianScoreOpensTheLongDialogWithTheListing) {
  const std::string reason =
      "Bayesian Filter\nTotal Score is 0.98\r\n-------------------\r\nviagra\t0.9900000\r\n"
      "cheap\t0.9600000\r\n";
  Dialog d = TestMessageResult(true, reason);
  EXPECT_TRUE(IsLongResult(reason));
  EXPECT_EQ(d.kind, kTestMessageKind);
  EXPECT_EQ(d.title, "Test Message");
  EXPECT_EQ(d.headline, "Message is recognized as Junk e-mail");
  EXPECT_EQ(d.Find(kIconControl)->text, "spam");
  EXPECT_EQ(d.Find(kReasonControl)->text, "Bayesian Filter");
  EXPECT_EQ(d.Find(kInformationControl)->text,
            "Total Score is 0.98\r\n-------------------\r\nviagra\t0.9900000\r\n"
            "cheap\t0.9600000");
  ASSERT_EQ(d.buttons.size(), 1u);
  EXPECT_EQ(d.defaultButton, d.buttons[0].id);
}

TEST(TestMessageResultTest, OtherReasonsOpenTheShortDialogWithTheirSecondLine) {
  // Too little to score is not a score: the short dialog, its second line below.
  Dialog unsure =
      TestMessageResult(true, "Bayesian Filter\nNot enough information. Suspected for spam");
  EXPECT_EQ(unsure.Find(kReasonControl)->text, "Bayesian Filter");
  EXPECT_EQ(unsure.Find(kInformationControl)->text, "Not enough information. Suspected for spam");
  // A one-line reason shows the same line twice.
  Dialog report = TestMessageResult(false, "Report from anti-virus software");
  EXPECT_EQ(report.headline, "Message is recognized as Good e-mail");
  EXPECT_EQ(report.Find(kIconControl)->text, "good");
  EXPECT_EQ(report.Find(kReasonControl)->text, "Report from anti-virus software");
  EXPECT_EQ(report.Find(kInformationControl)->text, "Report from anti-virus software");
}

}  // namespace
}  // namespace quorvel::ui
