// A host that faults on purpose (`quorvel debug crash`) on a temporary profile: the
// process dies of SIGSEGV, the report file is read back, and the next host start
// offers it and mails it through sendmail.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "crash/report_offer.h"
#include "host/client.h"
#include "testing/child_process.h"
#include "testing/file_bytes.h"
#include "testing/temporary_home.h"
#include "testing/wait_until.h"
#include "ui/scripted_ui.h"

namespace quorvel::app {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using quorvel::testing::Slurp;
using quorvel::testing::Spit;

class CrashEndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The crashing host must not leave a core dump of the whole program behind.
    rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    root_ = fs::path(home_.root());
    // Installed as <prefix>/bin/quorvel: its module folder is <prefix>/share/quorvel/
    // when that exists, else <prefix>/bin/.
    fs::create_directories(root_ / "prefix/bin");
    program_ = root_ / "prefix/bin/quorvel";
    std::error_code linked;
    fs::create_hard_link(QUORVEL_PROGRAM, program_, linked);
    if (linked) fs::copy_file(QUORVEL_PROGRAM, program_);
    maildir_ = root_ / "Maildir";
    for (const char* sub : {"cur", "new", "tmp"}) fs::create_directories(maildir_ / sub);
    Spit(root_ / "sendmail", "#!/bin/sh\necho \"$@\" > '" + (root_ / "args").string() +
                                 "'\ncat > '" + (root_ / "mailed").string() + "'\n");
    fs::permissions(root_ / "sendmail", fs::perms::owner_all);
    environment_ = home_.Environment();
    environment_["QUORVEL_SENDMAIL"] = (root_ / "sendmail").string();
    ASSERT_EQ(Quorvel({"profile", "add", "home", "--maildir", maildir_.string(), "--address",
                       "me@example.org"})
                  .end.status,
              0);
  }
  testing::ProgramRun Quorvel(std::vector<std::string> args) {
    args.insert(args.begin(), program_.string());
    return testing::RunProgram(args, environment_, "", 60s);
  }

  testing::TemporaryHome home_;
  fs::path root_, program_, maildir_;
  testing::EnvironmentChanges environment_;
};

TEST_F(CrashEndToEndTest, CrashLeavesAReportThatTheNextStartMails) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "under AddressSanitizer its own handler takes the fault and ends the program";
#endif
  const testing::ProgramRun crashed = Quorvel({"debug", "crash"});
  EXPECT_EQ(crashed.end.signal, SIGSEGV) << crashed.err;

  // Without <prefix>/share/quorvel/ the module folder is the program's own.
  const fs::path report = root_ / "prefix/bin/ExceptionReport.txt";
  const std::string text = Slurp(report);
  ASSERT_FALSE(text.empty());
  EXPECT_NE(text.find("\r\nException code: C0000005 ACCESS_VIOLATION\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\nFault address:  0000000000000000 0000:00000000 \r\n"),
            std::string::npos);
  EXPECT_NE(text.find("Outlook Version: Quorvel host "), std::string::npos);
  // The walk passes through the program's own code, named by its module.
  const std::size_t stack = text.find("\r\nCall stack:\r\n");
  ASSERT_NE(stack, std::string::npos);
  const std::size_t modules = text.find("\r\nList of loaded modules:");
  EXPECT_NE(text.substr(stack, modules - stack).find(program_.string()), std::string::npos);
  EXPECT_NE(text.find("\t" + program_.string() + "\r\n", modules), std::string::npos);
  EXPECT_EQ(Slurp(fs::path(home_.DataFolder()) / "ExceptionReport.waiting"), report.string());

  // The next start of a host without a person keeps the offer for later and works as
  // usual (`messages` opens a host of its own when none runs; `lists` and `classify`
  // need none).
  const testing::ProgramRun quiet = Quorvel({"messages"});
  EXPECT_EQ(quiet.end.status, 0) << quiet.err;
  EXPECT_TRUE(fs::exists(fs::path(home_.DataFolder()) / "ExceptionReport.waiting"));

  // Told to agree, it sends: into the Outbox, through sendmail, then into Sent.
  const testing::ProgramRun sent = Quorvel({"--yes", "messages"});
  EXPECT_EQ(sent.end.status, 0) << sent.err;
  EXPECT_FALSE(fs::exists(fs::path(home_.DataFolder()) / "ExceptionReport.waiting"));
  EXPECT_EQ(Slurp(root_ / "args"), "-t -i\n");
  const std::string mail = Slurp(root_ / "mailed");
  EXPECT_NE(mail.find("From: me@example.org\n"), std::string::npos);
  EXPECT_NE(mail.find("filename=\"ExceptionReport.txt\""), std::string::npos);
  int inSent = 0;
  for (const auto& entry : fs::directory_iterator(maildir_ / ".Sent/cur")) {
    inSent += Slurp(entry.path()) == mail;
  }
  EXPECT_EQ(inSent, 1);
}

TEST_F(CrashEndToEndTest, WritableModuleFolderTakesTheReport) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "under AddressSanitizer its own handler takes the fault and ends the program";
#endif
  fs::create_directories(root_ / "prefix/share/quorvel");
  EXPECT_EQ(Quorvel({"debug", "crash"}).end.signal, SIGSEGV);
  EXPECT_NE(Slurp(root_ / "prefix/share/quorvel/ExceptionReport.txt").find("ACCESS_VIOLATION"),
            std::string::npos);
  EXPECT_FALSE(fs::exists(root_ / "prefix/bin/ExceptionReport.txt"));
  EXPECT_FALSE(fs::exists(fs::path(home_.DataFolder()) / "ExceptionReport.txt"));
}

// Under a service manager the host has nobody to ask, and commands go to it rather than
// opening a host of their own, so a report offered only at a host's start was never
// offered. It waits as a pending question for the next interactive client instead.
TEST_F(CrashEndToEndTest, AServingHostOffersTheReportToTheNextInteractiveClient) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "under AddressSanitizer its own handler takes the fault and ends the program";
#endif
  ASSERT_EQ(Quorvel({"debug", "crash"}).end.signal, SIGSEGV);
  const fs::path marker = fs::path(home_.DataFolder()) / "ExceptionReport.waiting";
  ASSERT_TRUE(fs::exists(marker));

  std::string error;
  auto host = testing::ChildProcess::Start({program_.string(), "run"}, environment_, {}, &error);
  ASSERT_TRUE(host) << error;
  ASSERT_TRUE(testing::WaitUntil(
      [&] {
        // The first-run wizard, due on a fresh profile, may be waiting beside it.
        const std::string status = Quorvel({"status", "--json"}).out;
        return status.find("\"pending\":1") != std::string::npos ||
               status.find("\"pending\":2") != std::string::npos;
      },
      30s))
      << host->Errors();
  EXPECT_TRUE(fs::exists(marker));  // nobody has answered yet

  host::Outcome outcome;
  auto client = host::HostClient::Connect(home_.RuntimeDir() + "/quorvel-home.sock", {}, &outcome);
  ASSERT_TRUE(client) << outcome.message;
  ui::ScriptedUi person;
  auto answer = [](ui::Dialog& d) {
    return d.kind == "exception-report" ? crash::kSendButton : d.defaultButton;
  };
  person.QueueDialog(answer);
  person.QueueDialog(answer);
  int answered = 0;
  EXPECT_TRUE(client->OfferPending(person, &answered).ok());
  EXPECT_GE(answered, 1);
  EXPECT_TRUE(testing::WaitUntil([&] { return !fs::exists(marker); }, 30s)) << host->Errors();
  EXPECT_NE(Slurp(root_ / "mailed").find("filename=\"ExceptionReport.txt\""), std::string::npos);

  host->Signal(SIGTERM);
  auto end = host->Wait(30s);
  ASSERT_TRUE(end);
  EXPECT_EQ(end->status, 0) << host->Errors();
}

}  // namespace
}  // namespace quorvel::app
