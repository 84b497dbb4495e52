// A host killed (SIGKILL) while it marks a large selection as junk: the next start
// loads the settings and the mail base, and what the journal says the marking learned
// is exactly what "Bayes.raw" gained (all of the selection or none of it), the journal
// names every message that reached the spam folder, so that `quorvel undo` takes back
// what was learned and nothing else and puts every message back. And a `quorvel undo`
// killed half way: the journal says whether it happened as "Bayes.raw" does, and a
// second undo finishes it without unlearning twice.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <set>
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
  fs::path Journal() {
    for (const auto& e : fs::recursive_directory_iterator(home_.root())) {
      if (e.path().filename() == "journal.jsonl") return e.path();
    }
    return {};
  }
  struct Marking {
    std::string id;
    int learned = 0;  // junk messages its counts file says it learned; -1: unreadable
    std::size_t moved = 0;
  };
  // The journal's marking lines, oldest first; *undone gets the ids undone (an undo line
  // not voided after).
  std::vector<Marking> Markings(std::set<std::string>* undone = nullptr) {
    std::vector<Marking> out;
    const fs::path journal = Journal();
    if (journal.empty()) return out;
    std::istringstream lines(Slurp(journal));
    for (std::string line; std::getline(lines, line);) {
      auto json = nlohmann::json::parse(line, nullptr, false);
      if (!json.is_object()) continue;
      const std::string kind = json.value("kind", "");
      if (undone && kind == "undo") undone->insert(json.value("id", ""));
      if (undone && kind == "undo_void") undone->erase(json.value("id", ""));
      if (kind != "marking") continue;
      LearnedCounts learned;
      const std::string counts = json.value("counts", "");
      const bool read =
          counts.empty() || ParseLearned(Slurp(journal.parent_path() / counts), &learned);
      Marking m{json.value("id", ""), read ? learned.pair.junk().messageCount() : -1, 0};
      for (const auto& message : json["messages"]) {
        m.moved += message.value("from", "") != message.value("to", "");
      }
      out.push_back(std::move(m));
    }
    return out;
  }
  std::size_t FilesIn(const fs::path& folder) {
    std::size_t n = 0;
    for (const char* sub : {"cur", "new"}) {
      for (auto it = fs::directory_iterator(folder / sub); it != fs::directory_iterator(); ++it) {
        ++n;
      }
    }
    return n;
  }
  std::size_t InSpam() { return FilesIn(maildir_ / ".Spam"); }
  std::size_t InInbox() { return FilesIn(maildir_); }

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
    auto inSpam = [&] { return InSpam(); };
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

    // The next start: settings and mail base load; the journal agrees with "Bayes.raw"
    // and with the folders.
    ASSERT_EQ(Quorvel({"list", "black", "export", (data_ / "black.txt").string()}).end.status, 0);
    ProgramRun listed = Quorvel({"undo", "--list"});
    EXPECT_EQ(listed.end.status, 0) << listed.err;
    const int learnedAfter = JunkInRaw();
    ASSERT_GE(learnedAfter, 0);
    const auto markings = Markings();
    const bool entry = markings.size() > markingsBefore;
    const int recorded = entry ? markings.back().learned : 0;  // no entry: nothing
    EXPECT_TRUE(recorded == 0 || recorded == kMessages) << recorded;
    EXPECT_EQ(learnedAfter - learnedBefore, recorded);
    EXPECT_EQ(entry ? markings.back().moved : 0, inSpam()) << "moves the journal does not name";
    if (entry) {
      // Taken back: what "Bayes.raw" gained goes, the messages go back.
      ProgramRun undo = Quorvel({"undo"});
      EXPECT_EQ(undo.end.status, 0) << undo.err;
      EXPECT_EQ(JunkInRaw(), learnedBefore);
    }
    EXPECT_EQ(inSpam(), 0u);
    learnedBefore = JunkInRaw();
    ASSERT_TRUE(host.Start(60s, &error)) << error;
    EXPECT_TRUE(host.Stop(30s).has_value());
  }
}

// A `quorvel undo` (its own host: none runs) killed at three moments: as its line
// reaches the journal, as the first message is back in the Inbox, and once all are.
// The next start loads the settings and the mail base; "Bayes.raw" holds the marking's
// counts exactly when the journal says it is not undone; a second undo finishes what
// the first began (or is refused as done) without unlearning twice.
TEST_F(MarkingKillTest, AKilledUndoLeavesTheJournalAndTheMailBaseInStep) {
  const std::vector<std::string> moments = {"undo line", "first back", "all back"};
  const int learnedBefore = JunkInRaw();
  ASSERT_GE(learnedBefore, 0);
  for (std::size_t round = 0; round < moments.size(); ++round) {
    SCOPED_TRACE("killed at: " + moments[round]);
    ProgramRun junk = Quorvel({"--yes", "junk", "-"}, Deliver(10 + static_cast<int>(round)));
    ASSERT_EQ(junk.end.status, 0) << junk.err;
    const std::size_t inboxBefore = InInbox();
    ASSERT_EQ(InSpam(), static_cast<std::size_t>(kMessages));
    ASSERT_EQ(JunkInRaw(), learnedBefore + kMessages);
    const std::string id = Markings().back().id;

    std::string error;
    auto undo = quorvel::testing::ChildProcess::Start({QUORVEL_PROGRAM, "--yes", "undo"},
                                                      home_.Environment(), {}, &error);
    ASSERT_TRUE(undo) << error;
    const bool reached = WaitUntil(
        [&] {
          if (round == 0) {
            return Slurp(Journal()).find("\"kind\":\"undo\"") != std::string::npos;
          }
          if (round == 1) return InInbox() > inboxBefore;
          return InInbox() >= inboxBefore + kMessages;
        },
        60s, 1ms);
    undo->Signal(SIGKILL);
    undo->Wait(60s);
    ASSERT_TRUE(reached) << undo->Errors();

    ASSERT_EQ(Quorvel({"list", "black", "export", (data_ / "black.txt").string()}).end.status, 0);
    const int learnedAfter = JunkInRaw();
    ASSERT_GE(learnedAfter, 0);
    std::set<std::string> undone;
    Markings(&undone);
    const bool saysUndone = undone.count(id) != 0;
    EXPECT_EQ(learnedAfter, saysUndone ? learnedBefore : learnedBefore + kMessages);

    ProgramRun again = Quorvel({"--yes", "undo"});
    EXPECT_EQ(again.end.status, saysUndone ? 1 : 0) << again.err;
    EXPECT_EQ(JunkInRaw(), learnedBefore) << "unlearned twice, or not at all";
    EXPECT_EQ(InSpam(), 0u);
    EXPECT_EQ(InInbox(), inboxBefore + kMessages);
  }
}

}  // namespace
}  // namespace quorvel::app
