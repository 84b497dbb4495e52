// `quorvel log` as a user runs it, over journal files written beside it (both
// generations, damaged lines among them). host_end_to_end_test.cpp has a real host
// write the journal.
#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "outlook/journal_file.h"
#include "testing/file_bytes.h"
#include "testing/temporary_home.h"

namespace quorvel::app {
namespace {
namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::ProgramRun;
using testing::Spit;
using testing::TemporaryHome;

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
  WriteJournal("journal.jsonl",
               std::string("{\"kind\":\"marking\",\"subject\":\"a later kind\"}\n") + "[1,2]\n" +
                   JournalLine(Entry(600, "spam", "new spam")) +
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
  EXPECT_NE(first.find("  spam  Inbox -> Spam  x@spam.example  \"win\\x1b[2J big\\nnow\"  "
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

}  // namespace
}  // namespace quorvel::app
