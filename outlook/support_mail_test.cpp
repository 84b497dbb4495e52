#include "outlook/support_mail.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace quorvel::outlook {
namespace {

using ::testing::HasSubstr;

// A presenter with no handler for links: every link fails to open.
class NoHandlerUi final : public ui::Ui {
 public:
  int Show(const std::string& text, const std::string&, std::uint32_t) override {
    shown.push_back(text);
    return platform::IDOK;
  }
  std::int32_t Present(ui::Dialog& dialog) override { return dialog.defaultButton; }
  std::unique_ptr<ui::Progress> BeginProgress(const std::string&) override { return nullptr; }
  void Notify(const std::string&, const std::string&) override {}
  bool OpenUrl(const std::string& url) override {
    tried.push_back(url);
    return false;
  }
  bool Interactive() const override { return false; }

  std::vector<std::string> shown;
  std::vector<std::string> tried;
};

const SupportTexts kTexts{.programVersion = "0.1.0",
                          .compilationDate = "Dec  8 2026",
                          .systemText = "Linux Debian GNU/Linux 12 (bookworm) (build 6.1.0)",
                          .hostText = " Quorvel host 0.1.0"};

TEST(SupportMailTest, TheLinkEscapesLineEndsThenBlanks) {
  EXPECT_EQ(SupportRequest(kTexts),
            "mailto:support@veltmark.example?subject=Support Request (Quorvel 0.1.0)&body="
            "Program Version: Quorvel 0.1.0\r\nCompilation Time: Dec  8 2026\r\n"
            "Operation System: Linux Debian GNU/Linux 12 (bookworm) (build 6.1.0)\r\n"
            "Outlook Version: Quorvel host 0.1.0\r\n\r\n");
  EXPECT_EQ(MailtoLink("a b\r\nc\nd\r e"), "a%20b%0d%0ac\nd\r%20e");
  // A field that would end the body early, or escape as something else, is escaped.
  SupportTexts odd = kTexts;
  odd.systemText = "A&B #1 100%";
  EXPECT_THAT(MailtoLink(SupportRequest(odd)), HasSubstr("System:%20A%26B%20%231%20100%25%0d%0a"));
}

TEST(SupportMailTest, WithoutAHandlerTheRequestIsShownToSendByHand) {
  NoHandlerUi ui;
  EmailToSupport(ui, kTexts);
  ASSERT_EQ(ui.tried.size(), 1u);
  ASSERT_EQ(ui.shown.size(), 1u);
  EXPECT_THAT(ui.shown[0], HasSubstr("support@veltmark.example"));
  EXPECT_THAT(ui.shown[0], HasSubstr("Subject: Support Request (Quorvel 0.1.0)"));
  EXPECT_THAT(ui.shown[0], HasSubstr("Operation System: Linux Debian"));
}

TEST(SupportMailTest, VersionTexts) {
  EXPECT_EQ(OutlookVersionText("Quorvel host", "0.1.0"), " Quorvel host 0.1.0");
  EXPECT_EQ(OutlookVersionText("Quorvel host", ""), " Unknown");
  EXPECT_EQ(WindowsVersionText(63), "");
  EXPECT_THAT(WindowsVersionText(kVersionBufferSize), HasSubstr("(build "));
}

}  // namespace
}  // namespace quorvel::outlook
