#include "crash/report_offer.h"

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "crash/report_file.h"
#include "gtest/gtest.h"
#include "testing/file_bytes.h"
#include "testing/temporary_folder.h"
#include "ui/scripted_ui.h"

namespace quorvel::crash {
namespace {

namespace fs = std::filesystem;

void WriteFile(const std::string& path, const std::string& bytes, unsigned mode = 0600) {
  std::ofstream(path, std::ios::binary) << bytes;
  chmod(path.c_str(), mode);
}

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ignored;
  for (const auto& entry : fs::directory_iterator(folder, ignored)) {
    names.push_back(entry.path().filename().string());
  }
  return names;
}

// A presenter with nobody behind it.
class NobodyUi final : public ui::Ui {
 public:
  int Show(const std::string&, const std::string&, std::uint32_t) override { return 1; }
  std::int32_t Present(ui::Dialog& dialog) override {
    ++presented;
    return dialog.defaultButton;
  }
  std::unique_ptr<ui::Progress> BeginProgress(const std::string&) override { return nullptr; }
  void Notify(const std::string&, const std::string&) override {}
  bool OpenUrl(const std::string&) override { return false; }
  bool Interactive() const override { return false; }
  int presented = 0;
};

class ReportOfferTest : public ::testing::Test {
 protected:
  void SetUp() override {
    report_ = folder_.File(kReportFileName);
    WriteFile(report_, "REPORT\r\nline two\r\n");
    options_.markerPath = folder_.File("waiting");
    WriteFile(options_.markerPath, report_);
    options_.outbox = folder_.File("Mail/.Outbox");
    options_.sent = folder_.File("Mail/.Sent");
    fs::create_directories(folder_.File("Mail/cur"));  // Outbox and Sent are made when used
    options_.sendmail = folder_.File("sendmail");
    options_.mail.version = "0.1.0";
    options_.mail.compiledOn = "Dec  8 2026";
  }
  // A sendmail that keeps its arguments and standard input, and exits with `status`.
  void FakeSendmail(int status) {
    WriteFile(options_.sendmail,
              "#!/bin/sh\necho \"$@\" > '" + folder_.File("args") + "'\ncat > '" +
                  folder_.File("got") + "'\nexit " + std::to_string(status) + "\n",
              0700);
  }
  OfferResult Offer(int button) {
    ui_.QueueDialog([button](ui::Dialog&) { return button; });
    return OfferWaitingReport(ui_, options_);
  }

  testing::TemporaryFolder folder_;
  std::string report_;
  OfferOptions options_;
  ui::ScriptedUi ui_;
};

TEST_F(ReportOfferTest, SentReportGoesThroughSendmailAndEndsInSent) {
  FakeSendmail(0);
  EXPECT_EQ(Offer(kSendButton), OfferResult::kSent);
  EXPECT_EQ(testing::Slurp(folder_.File("args")), "-t -i\n");
  const std::string mail = testing::Slurp(folder_.File("got"));
  EXPECT_NE(mail.find("To: support@veltmark.example\n"), std::string::npos);
  EXPECT_NE(mail.find("Subject: Quorvel 0.1.0 Exception Report. Build Dec  8 2026\n"),
            std::string::npos);
  EXPECT_NE(mail.find("filename=\"ExceptionReport.txt\""), std::string::npos);
  EXPECT_NE(mail.find("UkVQT1JUDQpsaW5lIHR3bw0K"), std::string::npos);  // the report, base64
  EXPECT_TRUE(FilesIn(options_.outbox + "/new").empty());
  EXPECT_TRUE(fs::exists(options_.sent + "/maildirfolder"));
  const auto sent = FilesIn(options_.sent + "/cur");
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(testing::Slurp(options_.sent + "/cur/" + sent[0]), mail);
  EXPECT_FALSE(fs::exists(options_.markerPath));
  ASSERT_EQ(ui_.dialogs().size(), 1u);
  EXPECT_EQ(ui_.dialogs()[0].Find("report")->text, report_);
}

TEST_F(ReportOfferTest, WithoutSendmailTheMailWaitsInTheOutbox) {
  FakeSendmail(75);  // refused, as sendmail does when it cannot queue
  EXPECT_EQ(Offer(kSendButton), OfferResult::kInOutbox);
  EXPECT_EQ(FilesIn(options_.outbox + "/new").size(), 1u);
  EXPECT_TRUE(FilesIn(options_.sent + "/cur").empty());

  WriteFile(options_.markerPath, report_);
  fs::remove(options_.sendmail);
  EXPECT_EQ(Offer(kSendButton), OfferResult::kInOutbox);
  EXPECT_EQ(FilesIn(options_.outbox + "/new").size(), 2u);
}

TEST_F(ReportOfferTest, WithNeitherTheUserIsToldWhereTheFileIs) {
  options_.outbox = "";
  EXPECT_EQ(Offer(kSendButton), OfferResult::kFileOnly);
  bool told = false;
  for (const std::string& text : ui_.texts()) told = told || text.find(report_) != text.npos;
  EXPECT_TRUE(told);
}

TEST_F(ReportOfferTest, DontSendNobodyAndNothingWaiting) {
  FakeSendmail(0);
  NobodyUi nobody;
  EXPECT_EQ(OfferWaitingReport(nobody, options_), OfferResult::kNobodyToAsk);
  EXPECT_EQ(nobody.presented, 1);
  EXPECT_TRUE(fs::exists(options_.markerPath));  // kept for someone who can answer

  EXPECT_EQ(Offer(kDontSendButton), OfferResult::kNotSent);
  EXPECT_FALSE(fs::exists(options_.markerPath));
  EXPECT_FALSE(fs::exists(folder_.File("got")));
  EXPECT_FALSE(fs::exists(options_.outbox));  // nothing written: no folder made

  EXPECT_EQ(OfferWaitingReport(ui_, options_), OfferResult::kNothingWaiting);
  EXPECT_EQ(ui_.dialogs().size(), 1u);
}

TEST(ReportMailTest, AttachmentIsBase64InLinesOf76) {
  ReportMail mail;
  mail.version = "1";
  mail.compiledOn = "Jan  1 2026";
  mail.boundary = "B";
  struct Case {
    std::string bytes;
    std::string encoded;
  };
  const Case cases[] = {
      {"", ""},
      {"f", "Zg==\n"},
      {"fo", "Zm8=\n"},
      {"foobar", "Zm9vYmFy\n"},
      {std::string(57, '\xff'), std::string(76, '/') + "\n"},
      {std::string(58, '\0'), std::string(76, 'A') + "\nAA==\n"},
  };
  for (const Case& c : cases) {
    const std::string m = ComposeReportMail(mail, "r.txt", c.bytes);
    const std::string head = "Content-Transfer-Encoding: base64\n\n";
    const std::size_t at = m.find(head) + head.size();
    EXPECT_EQ(m.substr(at), c.encoded + "--B--\n");
  }
}

}  // namespace
}  // namespace quorvel::crash
