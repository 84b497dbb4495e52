// A host killed (SIGKILL) while it marks a large selection as junk: the next start
// loads the settings and the mail base, and what the journal says the marking learned
// is exactly what "Bayes.raw" gained (all of the selection or none of it), so that
// `quorvel undo` takes back what was learned and nothing else.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "bayes/learned_counts.h"
#include "testing/child_process.h"
#include "testing/file_bytes.h"
#include "testing/host_process.h"
#include "testing/temporary_home.h"
#include "testing/wait_until.h"

namespace quorvel::app {
namespace {
namespace fs = std::filesystem;
using namespace std::chrono_literals;
using quorvel::testing::ProgramRun;
using quorvel::testing::Slurp;
using quorvel::testing::Spit;
using quorvel::testing::WaitUntil;

constexpr int kMessages = 300;

class MarkingKillTest : public ::testing::Test {
 protected:
  void SetUp() override {
    maildir_ = fs::path(home_.root()) / "Maildir";
    for (const char* dir : {"", ".Spam"}) {
      for (const char* sub : {"cur", "new", "tmp"}) fs::create_directories(maildir_ / dir / sub);
    }
    ASSERT_EQ(Quorvel({"profile", "add", "home", "--maildir", maildir_.string()}).end.status, 0);
    ASSERT_EQ(Quorvel({"register"}).end.status, 0);
    data_ = fs::path(home_.root());
  }

  ProgramRun Quorvel(std::vector<std::string> args, const std::string& input = "") {
    args.insert(args.begin(), QUORVEL_PROGRAM);
    return quorvel::testing::RunProgram(args, home_.Environment(), input, 60s);
  }
  // Junk messages of "Bayes.raw"; -1 when the mail base does not load.
  int JunkInRaw() {
    ProgramRun stats = Quorvel({"mailbase", "stats", "--json"});
    auto json = nlohmann::json::parse(stats.out, nullptr, false);
    if (stats.end.status != 0 || !json.is_object()) return -1;
    return json["junk_messages"].get<int>();
  }
  // The files of round `round`, in the Inbox, listed one a line.
  std::string Deliver(int round) {
    std::string names;
    for (int i = 0; i < kMessages; ++i) {
      const std::string id = std::to_string(round) + "-" + std::to_string(i);
      const fs::path file = maildir_ / "cur" / ("1700000000." + id + ".host:2,S");
      Spit(file, "From: Shop <shop" + id + "@pills.example>\nTo: me@example.org\nSubject: offer " +
                     id + "\nMessage-ID: <" + id + "@pills.example>\n\nCheap zentrafil number " +
                     id + " today.\n");
      names += file.string() + "\n";
    }
    return names;
  }
  // The journal's marking lines: id -> the junk messages its counts file says it learned.
  std::vector<std::pair<std::string, int>> Markings() {
    std::vector<std::pair<std::string, int>> out;
    fs::path dataFolder;
    for (const auto& e : fs::recursive_directory_iterator(home_.root())) {
      if (e.path().filename() == "journal.jsonl") dataFolder = e.path().parent_path();
    }
    if (dataFolder.empty()) return out;
    std::istringstream lines(Slurp(dataFolder / "journal.jsonl"));
    for (std::string line; std::getline(lines, line);) {
      auto json = nlohmann::json::parse(line, nullptr, false);
      if (!json.is_object() || json.value("kind", "") != "marking") continue;
      LearnedCounts learned;
      const std::string counts = json.value("counts", "");
      const bool read = counts.empty() || ParseLearned(Slurp(dataFolder / counts), &learned);
      out.emplace_back(json.value("id", ""), read ? learned.pair.junk().messageCount() : -1);
    }
    return out;
  }

  quorvel::testing::TemporaryHome home_;
  fs::path maildir_;
  fs::path data_;
};

TEST_F(MarkingKillTest, AHostKilledWhileMarkingLeavesTheJournalAndTheMailBaseInStep) {
  // Killed at three moments: as the first message reaches the spam folder, as the
  // journal gets the marking, and once the spam folder holds the whole selection.
  const std::vector<std::string> moments = {"first move", "journal line", "all moved"};
  int learnedBefore = JunkInRaw();
  ASSERT_GE(learnedBefore, 0);
  for (std::size_t round = 0; round < moments.size(); ++round) {
    SCOPED_TRACE("killed at: " + moments[round]);
    const std::string names = Deliver(static_cast<int>(round));
    const std::size_t markingsBefore = Markings().size();
    quorvel::testing::HostProcess host(QUORVEL_PROGRAM, home_);
    std::string error;
    ASSERT_TRUE(host.Start(60s, &error)) << error;
    const fs::path list = fs::path(home_.root()) / "names.txt";
    Spit(list, names);
    quorvel::testing::ChildProcess::Options options;
    options.stdinFile = list.string();
    auto marking = quorvel::testing::ChildProcess::Start({QUORVEL_PROGRAM, "junk", "-"},
                                                         home_.Environment(), options, &error);
    ASSERT_TRUE(marking) << error;
    auto inSpam = [&] {
      std::size_t n = 0;
      for (const char* sub : {"cur", "new"}) {
        for (auto it = fs::directory_iterator(maildir_ / ".Spam" / sub);
             it != fs::directory_iterator(); ++it) {
          ++n;
        }
      }
      return n;
    };
    const std::size_t spamBefore = inSpam();
    const bool reached = WaitUntil(
        [&] {
          if (round == 0) return inSpam() > spamBefore;
          if (round == 1) return Markings().size() > markingsBefore;
          return inSpam() >= spamBefore + kMessages;
        },
        60s, 1ms);
    host.Kill();
    marking->Wait(60s);
    ASSERT_TRUE(reached) << marking->Errors();

    // The next start: settings and mail base load; the journal and "Bayes.raw" agree.
    ASSERT_EQ(Quorvel({"list", "black", "export", (data_ / "black.txt").string()}).end.status, 0);
    const int learnedAfter = JunkInRaw();
    ASSERT_GE(learnedAfter, 0);
    const auto markings = Markings();
    const int recorded =
        markings.size() > markingsBefore ? markings.back().second : 0;  // none: nothing
    EXPECT_TRUE(recorded == 0 || recorded == kMessages) << recorded;
    EXPECT_EQ(learnedAfter - learnedBefore, recorded);
    ProgramRun listed = Quorvel({"undo", "--list"});
    EXPECT_EQ(listed.end.status, 0) << listed.err;
    if (markings.size() > markingsBefore) {
      // Taken back: what "Bayes.raw" gained goes, the messages go back.
      ProgramRun undo = Quorvel({"undo"});
      EXPECT_EQ(undo.end.status, 0) << undo.err;
      EXPECT_EQ(JunkInRaw(), learnedBefore);
    }
    learnedBefore = JunkInRaw();
    ASSERT_TRUE(host.Start(60s, &error)) << error;
    EXPECT_TRUE(host.Stop(30s).has_value());
  }
}

}  // namespace
}  // namespace quorvel::app
