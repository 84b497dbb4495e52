// `quorvel check`, `test`, `empty-spam` and `support` as a user runs them against a
// profile on a temporary Maildir holding the test mail: in a short-lived host of the
// command's own, and sent to a running `quorvel run`. What the check moves is exactly
// what `quorvel classify` calls spam.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "testing/child_process.h"
#include "testing/file_bytes.h"
#include "testing/host_process.h"
#include "testing/maildir_count.h"
#include "testing/temporary_home.h"

namespace quorvel::app {
namespace {
namespace fs = std::filesystem;
using namespace std::chrono_literals;
using quorvel::testing::MessageFilesIn;
using quorvel::testing::ProgramRun;
using ::testing::HasSubstr;

class MailCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    maildir_ = fs::path(home_.root()) / "Maildir";
    for (const char* dir : {"", ".Eval", ".Spam"}) {
      for (const char* sub : {"cur", "new", "tmp"}) fs::create_directories(maildir_ / dir / sub);
    }
    const char* source = std::getenv("QUORVEL_SOURCE_DIR");
    const fs::path mail =
        (source ? fs::path(source) : fs::path(__FILE__).parent_path() / "..") / "testdata/mail";
    int n = 0;
    for (const auto& file : fs::directory_iterator(mail)) {
      ++n;
      fs::copy_file(file.path(), maildir_ / ".Eval/cur" /
                                     ("17000000" + std::to_string(10 + n) + ".M" +
                                      std::to_string(n) + ".host:2,S"));
    }
    ASSERT_GT(n, 0);
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"profile", "add", "home", "--maildir", maildir_.string()}, {"register"}}) {
      ProgramRun done = Quorvel(args);
      ASSERT_EQ(done.end.status, 0) << done.err;
    }
  }
  ProgramRun Quorvel(std::vector<std::string> args, const std::string& path = "") const {
    args.insert(args.begin(), QUORVEL_PROGRAM);
    quorvel::testing::EnvironmentChanges env = home_.Environment();
    if (!path.empty()) env["PATH"] = path;
    return quorvel::testing::RunProgram(args, env, "", 60s);
  }
  // How many messages of the evaluation folder `quorvel classify` calls spam.
  std::size_t ClassifiedSpam() const {
    ProgramRun judged = Quorvel({"classify", (maildir_ / ".Eval").string()});
    std::size_t spam = 0;
    std::istringstream lines(judged.out);
    for (std::string line; std::getline(lines, line);) spam += line.find("\tspam\t") != line.npos;
    return spam;
  }

  quorvel::testing::TemporaryHome home_;
  fs::path maildir_;
};

TEST_F(MailCommandsTest, CheckMovesWhatClassifySaysIsSpamAndLosesNothing) {
  const std::size_t total = MessageFilesIn(maildir_ / ".Eval");
  const std::size_t spam = ClassifiedSpam();
  ASSERT_GT(spam, 0u);

  // Nobody answers and --yes is not given: the question's default, Yes, checks.
  ProgramRun checked = Quorvel({"check", "Eval"});
  ASSERT_EQ(checked.end.status, 0) << checked.err;
  EXPECT_THAT(checked.err, HasSubstr("Are you sure you want to check \"Eval\" folder?"));
  EXPECT_THAT(checked.err, HasSubstr("Check done: " + std::to_string(total) +
                                     " messages checked, " + std::to_string(spam) + " spam"));
  EXPECT_EQ(MessageFilesIn(maildir_ / ".Spam"), spam);
  EXPECT_EQ(MessageFilesIn(maildir_ / ".Eval"), total - spam);

  // The spam folder itself is never checked.
  ProgramRun again = Quorvel({"check", "--yes", (maildir_ / ".Spam").string()});
  EXPECT_EQ(again.end.status, 0) << again.err;
  EXPECT_THAT(again.err, HasSubstr("Check done: 0 messages checked"));
  EXPECT_EQ(MessageFilesIn(maildir_ / ".Spam"), spam);

  ProgramRun missing = Quorvel({"check", "Inbox/Ham"});
  EXPECT_EQ(missing.end.status, 1);
  EXPECT_THAT(missing.err, HasSubstr("\"Inbox\" has no subfolder \"Ham\""));
  ProgramRun outside = Quorvel({"check", home_.root()});
  EXPECT_EQ(outside.end.status, 1);
  EXPECT_THAT(outside.err, HasSubstr("outside the profile's mailbox"));
}

TEST_F(MailCommandsTest, TestJudgesOneMessageAsClassifyDoesAndMovesNothing) {
  const fs::path file = *fs::directory_iterator(maildir_ / ".Eval/cur");
  ProgramRun classified = Quorvel({"classify", "--json", file.string()});
  ASSERT_EQ(classified.end.status, 0) << classified.err;
  const auto verdict = nlohmann::json::parse(classified.out);

  ProgramRun tested = Quorvel({"test", "--json", file.string()});
  ASSERT_EQ(tested.end.status, 0) << tested.err;
  const auto result = nlohmann::json::parse(tested.out);
  EXPECT_EQ(result["verdict"], verdict["spam"].get<bool>() ? "spam" : "good");
  const std::string reason = verdict["reason"];
  EXPECT_EQ(result["reason"], reason.substr(0, reason.find('\n')));
  EXPECT_TRUE(fs::exists(file));

  ProgramRun shown = Quorvel({"test", file.string()});
  ASSERT_EQ(shown.end.status, 0) << shown.err;
  EXPECT_THAT(shown.err, HasSubstr("== Test Message ==\nMessage is recognized as "));
  EXPECT_THAT(shown.err, HasSubstr("Reason: "));

  ProgramRun missing = Quorvel({"test", "<nobody@nowhere.example>"});
  EXPECT_EQ(missing.end.status, 1);
  EXPECT_EQ(missing.out, "");
}

TEST_F(MailCommandsTest, EmptySpamAsksAndDeletesOnlyOnYes) {
  for (int i = 0; i < 3; ++i) {
    quorvel::testing::Spit(maildir_ / ".Spam/cur" / ("1700000100." + std::to_string(i) + ".h:2,S"),
                           "From: a@b.example\nSubject: x\n\nx\n");
  }
  // Nobody answers: No is the default of a delete for good.
  ProgramRun kept = Quorvel({"empty-spam"});
  EXPECT_EQ(kept.end.status, 0) << kept.err;
  EXPECT_THAT(kept.err, HasSubstr("Are you sure you want to delete all items in the Spam folder?"));
  EXPECT_EQ(MessageFilesIn(maildir_ / ".Spam"), 3u);

  ProgramRun emptied = Quorvel({"empty-spam", "--yes"});
  EXPECT_EQ(emptied.end.status, 0) << emptied.err;
  EXPECT_EQ(MessageFilesIn(maildir_ / ".Spam"), 0u);
  EXPECT_GT(MessageFilesIn(maildir_ / ".Eval"), 0u);
}

TEST_F(MailCommandsTest, SupportWithoutAMailHandlerPrintsTheRequest) {
  const fs::path empty = fs::path(home_.root()) / "empty-bin";
  fs::create_directories(empty);
  ProgramRun support = Quorvel({"support"}, empty.string());
  EXPECT_EQ(support.end.status, 0) << support.err;
  EXPECT_THAT(support.err, HasSubstr("mailto:support@veltmark.example?subject=Support%20Request"));
  EXPECT_THAT(support.err, HasSubstr("Send it to support@veltmark.example yourself"));
  EXPECT_THAT(support.err, HasSubstr("Outlook Version: Quorvel host "));
}

TEST_F(MailCommandsTest, CheckSentToARunningHostAsksTheClient) {
  quorvel::testing::HostProcess host(QUORVEL_PROGRAM, home_);
  std::string error;
  ASSERT_TRUE(host.Start(30s, &error, {}, /*serving=*/true)) << error;
  const std::size_t total = MessageFilesIn(maildir_ / ".Eval");
  ProgramRun checked = Quorvel({"check", "--yes", "Eval"});
  EXPECT_EQ(checked.end.status, 0) << checked.err;
  // The question and the end came to the client, not to the host's log.
  EXPECT_THAT(checked.err, HasSubstr("Are you sure you want to check \"Eval\" folder?"));
  EXPECT_THAT(checked.err, HasSubstr("Check done: " + std::to_string(total) + " messages"));
  EXPECT_EQ(MessageFilesIn(maildir_ / ".Eval") + MessageFilesIn(maildir_ / ".Spam"), total);
  auto stopped = host.Stop(30s);
  ASSERT_TRUE(stopped.has_value());
  EXPECT_EQ(stopped->status, 0) << host.Errors();
}

}  // namespace
}  // namespace quorvel::app
