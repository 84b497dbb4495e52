// `quorvel log` as a user runs it: over journal files written beside it (both
// generations, damaged lines among them), and after a real host moved spam.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <iterator>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "outlook/journal_file.h"
#include "testing/child_process.h"
#include "testing/file_bytes.h"
#include "testing/temporary_home.h"
#include "testing/wait_until.h"

namespace quorvel::app {
namespace {
namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::ChildProcess;
using testing::ProgramRun;
using testing::Spit;
using testing::TemporaryHome;
using testing::WaitUntil;

platform::FileTime SecondsAgo(std::int64_t seconds) {
  const std::int64_t unix = static_cast<std::int64_t>(std::time(nullptr)) - seconds;
  return static_cast<platform::FileTime>(unix + 11644473600LL) * platform::kFileTimeSecond;
}

outlook::JournalEntry Entry(std::int64_t secondsAgo, const char* verdict, std::string subject) {
  return {.time = SecondsAgo(secondsAgo),
          .folder = "Inbox",
          .messageId = "<" + subject + "@example.com>",
          .sender = "ann@example.com",
          .subject = subject,
          .verdict = verdict,
          .reason = "Bayes",
          .destination = std::string(verdict) == outlook::kVerdictSpam ? "Spam" : ""};
}

std::vector<std::string> Subjects(const std::string& jsonLines) {
  std::vector<std::string> subjects;
  std::istringstream in(jsonLines);
  for (std::string line; std::getline(in, line);) {
    subjects.push_back(nlohmann::json::parse(line)["subject"].get<std::string>());
  }
  return subjects;
}

class LogCommandTest : public ::testing::Test {
 protected:
  ProgramRun Quorvel(std::vector<std::string> args) {
    args.insert(args.begin(), QUORVEL_PROGRAM);
    return testing::RunProgram(args, home_.Environment(), "", 60s);
  }
  void WriteJournal(const char* name, const std::string& bytes) {
    fs::create_directories(home_.DataFolder());
    Spit(fs::path(home_.DataFolder()) / name, bytes);
  }

  TemporaryHome home_;
};

TEST_F(LogCommandTest, ReadsBothGenerationsInOrderSkippingWhatItCannotRead) {
  using outlook::JournalLine;
  WriteJournal("journal.jsonl.1",
               JournalLine(Entry(3 * 86400, "spam", "old spam")) + "{\"kind\":\"verdict\",\"ti\n" +
                   JournalLine(Entry(7200, "good", "old good")) + "not json at all\n");
  WriteJournal("journal.jsonl", "{\"kind\":\"marking\",\"subject\":\"a later kind\"}\n" +
                                    "[1,2]\n" + JournalLine(Entry(600, "spam", "new spam")) +
                                    JournalLine(Entry(60, "returned", "back")) +
                                    JournalLine(Entry(30, "spam", "half")).substr(0, 40));

  struct Case {
    std::vector<std::string> args;
    std::vector<std::string> subjects;
  };
  const Case cases[] = {
      {{}, {"old spam", "old good", "new spam", "back"}},
      {{"--spam"}, {"old spam", "new spam"}},
      {{"--since", "1h"}, {"new spam", "back"}},
      {{"--since", "90m", "--spam"}, {"new spam"}},
      {{"--since", "2d"}, {"old good", "new spam", "back"}},
      {{"--since", "2000-01-01"}, {"old spam", "old good", "new spam", "back"}},
      {{"--since", "2999-01-01T00:00Z"}, {}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"log", "--json"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    SCOPED_TRACE(::testing::PrintToString(args));
    ProgramRun run = Quorvel(args);
    ASSERT_EQ(run.end.status, 0) << run.err;
    EXPECT_EQ(Subjects(run.out), c.subjects);
  }
}

TEST_F(LogCommandTest, TextLinesEscapeControlCharactersAndBadWhenIsAUsageError) {
  outlook::JournalEntry spam = Entry(60, "spam", "win\x1b[2J big\nnow");
  spam.sender = "x@spam.example";
  spam.reason = "Sender's domain is in Black List";
  WriteJournal("journal.jsonl",
               outlook::JournalLine(spam) + outlook::JournalLine(Entry(30, "good", "lunch")));
  ProgramRun run = Quorvel({"log"});
  ASSERT_EQ(run.end.status, 0) << run.err;
  std::istringstream lines(run.out);
  std::string first, second, more;
  std::getline(lines, first);
  std::getline(lines, second);
  EXPECT_FALSE(std::getline(lines, more)) << run.out;
  EXPECT_NE(first.find("  spam  Inbox -> Spam  x@spam.example  \"win\\x1b[2J big\\x0anow\"  "
                       "Sender's domain is in Black List"),
            std::string::npos)
      << first;
  EXPECT_NE(second.find("  good  Inbox -> (stayed)  ann@example.com  \"lunch\"  Bayes"),
            std::string::npos)
      << second;

  for (const char* bad : {"yesterday", "5x", "2026-13-01", "2026-12-08T25:00", "h"}) {
    ProgramRun refused = Quorvel({"log", "--since", bad});
    EXPECT_EQ(refused.end.status, 2) << bad;
  }
  // No journal yet: nothing to show, and no error.
  fs::remove(fs::path(home_.DataFolder()) / "journal.jsonl");
  ProgramRun empty = Quorvel({"log"});
  EXPECT_EQ(empty.end.status, 0) << empty.err;
  EXPECT_EQ(empty.out, "");
}

constexpr const char* kFromBlocked =
    "From: Offers <deals@blocked.example>\nTo: me@example.org\nSubject: Your invoice\n"
    "Message-ID: <invoice@blocked.example>\n\n"
    "Please find the invoice for last month's order attached to this letter.\n";

TEST_F(LogCommandTest, AHostThatMovesSpamJournalsItAndLogsTheMove) {
  const fs::path maildir = fs::path(home_.root()) / "Maildir";
  for (const char* sub : {"cur", "new", "tmp"}) fs::create_directories(maildir / sub);
  ASSERT_EQ(Quorvel({"profile", "add", "home", "--maildir", maildir.string(), "--address",
                     "me@example.org"})
                .end.status,
            0);
  ASSERT_EQ(Quorvel({"register"}).end.status, 0);
  const std::string list = (fs::path(home_.root()) / "blocked.txt").string();
  Spit(list, "Offers\tblocked.example\r\n");
  ProgramRun imported = Quorvel({"lists", "import", "--list", "black", list});
  ASSERT_EQ(imported.end.status, 0) << imported.err;

  std::string error;
  auto host = ChildProcess::Start({QUORVEL_PROGRAM, "run"}, home_.Environment(), {}, &error);
  ASSERT_NE(host, nullptr) << error;
  ASSERT_TRUE(
      WaitUntil([&] { return Quorvel({"status"}).end.status == 0 || !host->Running(); }, 30s));
  ASSERT_TRUE(host->Running()) << host->Errors();
  Spit(maildir / "tmp/1700000009.9.host", kFromBlocked);
  fs::rename(maildir / "tmp/1700000009.9.host", maildir / "new/1700000009.9.host");

  ProgramRun log;
  ASSERT_TRUE(WaitUntil(
      [&] {
        log = Quorvel({"log", "--json", "--spam"});
        return !log.out.empty() || !host->Running();
      },
      30s))
      << host->Errors();
  ASSERT_EQ(log.end.status, 0) << log.err;
  const nlohmann::json entry = nlohmann::json::parse(log.out.substr(0, log.out.find('\n')));
  EXPECT_EQ(entry["kind"], "verdict");
  EXPECT_EQ(entry["verdict"], "spam");
  EXPECT_EQ(entry["folder"], "Inbox");
  EXPECT_EQ(entry["destination"], "Spam");
  EXPECT_EQ(entry["message_id"], "<invoice@blocked.example>");
  EXPECT_EQ(entry["sender"], "deals@blocked.example");
  EXPECT_EQ(entry["subject"], "Your invoice");
  EXPECT_EQ(entry["reason"], "Sender's domain is in Black List");
  EXPECT_TRUE(WaitUntil(
      [&] {
        return host->Errors().find(
                   "moved to Spam: deals@blocked.example \"Your invoice\": "
                   "Sender's domain is in Black List") != std::string::npos;
      },
      10s))
      << host->Errors();
  std::size_t inSpam = 0;
  for (const char* sub : {".Spam/cur", ".Spam/new"}) {
    if (fs::exists(maildir / sub)) {
      inSpam += std::distance(fs::directory_iterator(maildir / sub), fs::directory_iterator());
    }
  }
  EXPECT_EQ(inSpam, 1u) << "the message was not moved";

  ASSERT_TRUE(host->Signal(SIGTERM));
  auto end = host->Wait(30s);
  ASSERT_TRUE(end.has_value()) << host->Errors();
}

}  // namespace
}  // namespace quorvel::app
