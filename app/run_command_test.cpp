// The host end to end: the real `quorvel run` on a profile whose Maildir lives in a
// temporary home, mail delivered the way a delivery agent delivers it (written into
// tmp/, renamed into new/), and every check made on the files and through the program's
// own commands. Nothing waits a fixed time: each wait is for a condition, with a
// deadline.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "testing/child_process.h"
#include "testing/file_bytes.h"
#include "testing/host_process.h"
#include "testing/temporary_home.h"
#include "testing/wait_until.h"

namespace quorvel::app {
namespace {

namespace fs = std::filesystem;
using quorvel::testing::HostProcess;
using quorvel::testing::ProgramRun;
using quorvel::testing::TemporaryHome;
using quorvel::testing::WaitUntil;
using namespace std::chrono_literals;

constexpr auto kDeadline = 30s;

using quorvel::testing::Slurp;

std::string Message(const std::string& from, const std::string& subject,
                    const std::string& to = "me@home.example") {
  return "From: " + from + "\r\nTo: " + to + "\r\nSubject: " + subject + "\r\nMessage-ID: <" +
         subject +
         "@test.example>\r\n"
         "Date: Mon, 7 Dec 2026 02:00:00 +0000\r\n\r\n"
         "Hello,\r\nsee you tomorrow at the usual place.\r\n";
}

// The learned message counts of `quorvel mailbase stats`: junk, then good.
using Learned = std::pair<unsigned long, unsigned long>;
Learned LearnedCounts(const ProgramRun& run) {
  Learned counts{0, 0};
  std::size_t j = run.out.find("Learned junk messages: ");
  std::size_t g = run.out.find("Learned good messages: ");
  if (run.end.status != 0 || j == std::string::npos || g == std::string::npos ||
      std::sscanf(run.out.c_str() + j, "Learned junk messages: %lu", &counts.first) != 1 ||
      std::sscanf(run.out.c_str() + g, "Learned good messages: %lu", &counts.second) != 1) {
    ADD_FAILURE() << "mailbase stats: " << run.out << run.err;
  }
  return counts;
}

class RunCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(home.root().empty());
    // The user's mail program keeps its copies of sent mail in .Sent.
    for (const char* sub : {"cur", "new", "tmp"}) {
      fs::create_directories(maildir / sub);
      fs::create_directories(maildir / ".Sent" / sub);
    }
    // The user's lists, made before the profile exists (the commands then act on the
    // settings directly).
    std::ofstream(home.root() + "/black.txt") << "spammer@bad.example\r\n";
    std::ofstream(home.root() + "/white.txt") << "friend@good.example\r\n";
    Ok(host.Quorvel({"list", "black", "import", home.root() + "/black.txt"}));
    Ok(host.Quorvel({"list", "white", "import", home.root() + "/white.txt"}));
    Ok(host.Quorvel(
        {"profile", "add", "home", "--maildir", maildir.string(), "--address", "me@home.example"}));
    Ok(host.Quorvel({"register"}));
  }
  void TearDown() override {
    // Whatever a test made read-only is made writable again, so that the home goes.
    std::error_code ec;
    fs::permissions(maildir, fs::perms::owner_all, fs::perm_options::add, ec);
  }

  static void Ok(const ProgramRun& run) { ASSERT_EQ(run.end.status, 0) << run.out << run.err; }
  void StartHost() {
    std::string error;
    ASSERT_TRUE(host.Start(kDeadline, &error)) << error;
  }
  void StopHost() {
    auto end = host.Stop(kDeadline);
    ASSERT_TRUE(end) << "the host did not stop";
    EXPECT_EQ(end->status, 0) << host.Errors();
  }

  fs::path Folder(const std::string& folder) const {
    return folder.empty() ? maildir : maildir / ("." + folder);
  }
  // As a delivery agent does: the whole file in tmp/, then renamed into new/ (or, as a
  // mail program saves a message it keeps, into cur/ marked seen).
  fs::path Deliver(const std::string& folder, const std::string& unique, const std::string& text,
                   bool seen = false) {
    fs::path tmp = Folder(folder) / "tmp" / unique;
    std::ofstream(tmp, std::ios::binary) << text;
    fs::path target =
        seen ? Folder(folder) / "cur" / (unique + ":2,S") : Folder(folder) / "new" / unique;
    fs::rename(tmp, target);
    deliveredAs_[MessageIdOf(text)] = unique;
    return target;
  }
  static std::string MessageIdOf(const std::string& text) {
    std::size_t at = text.find("Message-ID: ");
    return at == std::string::npos ? std::string() : text.substr(at, text.find('\n', at) - at);
  }
  // The messages in a folder (new/ and cur/), each by the unique name it was delivered
  // under: a move gives a message a new name in its new folder, as other Maildir
  // programs do.
  std::set<std::string> Messages(const std::string& folder) const {
    std::set<std::string> names;
    for (const char* sub : {"new", "cur"}) {
      std::error_code ec;
      for (fs::directory_iterator it(Folder(folder) / sub, ec), end; !ec && it != end; ++it) {
        auto known = deliveredAs_.find(MessageIdOf(Slurp(it->path().string())));
        std::string name = it->path().filename().string();
        names.insert(known != deliveredAs_.end() ? known->second : name.substr(0, name.find(':')));
      }
    }
    return names;
  }
  std::map<std::string, std::string> deliveredAs_;  // Message-ID line -> unique name
  std::string Listing() const {
    std::string out;
    for (auto& e : fs::recursive_directory_iterator(home.root())) out += e.path().string() + "\n";
    auto st = host.Status();
    out += st ? std::to_string(st->judged) + " judged\n" : "no status\n";
    return out;
  }
  Learned Stats() const { return LearnedCounts(host.Quorvel({"mailbase", "stats"})); }

  TemporaryHome home;
  fs::path maildir = fs::path(home.root()) / "Maildir";
  HostProcess host{QUORVEL_PROGRAM, home};
};

std::string Unique(const std::string& kind, int i) {
  return "1765072800.M" + std::to_string(i) + "P1." + kind + "-host";
}

TEST_F(RunCommandTest, SpamDeliveredIntoNewEndsInSpamGoodMailStaysSentMailWhitelists) {
  StartHost();
  std::set<std::string> spam, good;
  for (int i = 0; i < 5; ++i) {
    spam.insert(Unique("spam", i));
    Deliver("", Unique("spam", i),
            Message("Offers <spammer@bad.example>", "offer" + std::to_string(i)));
    good.insert(Unique("good", i));
    Deliver("", Unique("good", i),
            Message("Friend <friend@good.example>", "hello" + std::to_string(i)));
  }
  ASSERT_TRUE(WaitUntil([&] { return Messages("Spam") == spam; }, kDeadline))
      << Messages("Spam").size() << " in .Spam; the host wrote: " << host.Errors() << Listing();
  ASSERT_TRUE(WaitUntil(
      [&] {
        auto counts = host.Status();
        return counts && counts->judged >= 10;
      },
      kDeadline));
  EXPECT_EQ(Messages(""), good);
  EXPECT_EQ(host.Status()->moved, 5);
  // The tray popup of a host without a desktop is a line on its standard error.
  EXPECT_TRUE(
      WaitUntil([&] { return host.Errors().find("You've got") != std::string::npos; }, kDeadline))
      << host.Errors();

  // The user's mail program keeps a copy of what it sent in .Sent: its recipients join
  // the White List. A spam delivered after it has moved once the host has handled
  // both (one thread hears of both, in order).
  Deliver("Sent", Unique("sent", 0),
          Message("Me <me@home.example>", "plans", "New Friend <new.friend@else.example>"),
          /*seen=*/true);
  spam.insert(Unique("spam", 99));
  Deliver("", Unique("spam", 99), Message("Offers <spammer@bad.example>", "offer99"));
  ASSERT_TRUE(WaitUntil([&] { return Messages("Spam") == spam; }, kDeadline)) << host.Errors();
  StopHost();
  // Saved with the settings when the host stopped.
  std::string exported = home.root() + "/white-out.txt";
  Ok(host.Quorvel({"list", "white", "export", exported}));
  EXPECT_NE(Slurp(exported).find("new.friend@else.example"), std::string::npos) << Slurp(exported);
  EXPECT_EQ(Messages("Sent"), (std::set<std::string>{Unique("sent", 0)}));
}

TEST_F(RunCommandTest, MailThatArrivedWhileNoHostRanIsJudgedOnceAndNothingIsLearnedTwice) {
  const Learned seed = Stats();
  StartHost();
  std::set<std::string> spam, good;
  for (int i = 0; i < 3; ++i) {
    good.insert(Unique("good", i));
    Deliver("", Unique("good", i),
            Message("Friend <friend@good.example>", "hi" + std::to_string(i)));
  }
  spam.insert(Unique("spam", 0));
  Deliver("", Unique("spam", 0), Message("Offers <spammer@bad.example>", "offer0"));
  ASSERT_TRUE(WaitUntil(
      [&] {
        auto counts = host.Status();
        return counts && counts->judged >= 4 && Messages("Spam") == spam;
      },
      kDeadline))
      << host.Errors();
  StopHost();
  // The running host learned the White List's mail, and saved it when it stopped.
  const Learned learned = Stats();
  EXPECT_EQ(learned, Learned(seed.first, seed.second + 3));

  // While no host runs: more of both; `run --once` judges them, moves the spam before
  // it ends, and learns nothing from mail it judged at the start.
  for (int i = 1; i < 4; ++i) {
    spam.insert(Unique("spam", i));
    Deliver("", Unique("spam", i),
            Message("Offers <spammer@bad.example>", "offer" + std::to_string(i)));
    good.insert(Unique("good", 10 + i));
    Deliver("", Unique("good", 10 + i),
            Message("Friend <friend@good.example>", "later" + std::to_string(i)));
  }
  ProgramRun once = host.Quorvel({"run", "--once"});
  ASSERT_EQ(once.end.status, 0) << once.err;
  EXPECT_EQ(Messages("Spam"), spam);
  EXPECT_EQ(Messages(""), good);
  EXPECT_EQ(Stats(), learned);
  // Nothing pending: --once ends at once, and changes nothing.
  ASSERT_EQ(host.Quorvel({"run", "--once"}).end.status, 0);
  EXPECT_EQ(Messages("Spam"), spam);

  // A spam more while down, then a long-running host: it judges it at its start, and
  // the good mail judged before is judged again without being learned again.
  spam.insert(Unique("spam", 9));
  Deliver("", Unique("spam", 9), Message("Offers <spammer@bad.example>", "offer9"));
  StartHost();
  ASSERT_TRUE(WaitUntil([&] { return Messages("Spam") == spam; }, kDeadline)) << host.Errors();
  ASSERT_TRUE(WaitUntil(
      [&] {
        auto counts = host.Status();
        return counts && counts->judged >= static_cast<long>(good.size()) + 1;
      },
      kDeadline));
  StopHost();
  EXPECT_EQ(Messages(""), good);
  EXPECT_EQ(Stats(), learned);
}

TEST_F(RunCommandTest, MessagesTakenAwayBeforeTheWorkerReachesThemAreSkipped) {
  StartHost();
  std::set<std::string> expected;
  for (int i = 0; i < 40; ++i) {
    fs::path file = Deliver("", Unique("spam", i),
                            Message("Offers <spammer@bad.example>", "offer" + std::to_string(i)));
    // Every other one is taken by the user's mail program at once; when the host was
    // quicker, it is in .Spam already.
    std::error_code ec;
    if (i % 2 == 1 && fs::remove(file, ec)) continue;
    expected.insert(Unique("spam", i));
  }
  ASSERT_TRUE(WaitUntil([&] { return Messages("Spam") == expected; }, kDeadline))
      << Messages("Spam").size() << " of " << expected.size() << "; " << host.Errors();
  EXPECT_TRUE(Messages("").empty());
  ASSERT_TRUE(host.Running());
  // Still at work.
  Deliver("", Unique("spam", 100), Message("Offers <spammer@bad.example>", "offer100"));
  expected.insert(Unique("spam", 100));
  EXPECT_TRUE(WaitUntil([&] { return Messages("Spam") == expected; }, kDeadline));
  StopHost();
}

// The spam folder is made by the first move into it; a file in its place is reported
// then, once, and the host keeps running.
TEST_F(RunCommandTest, ASpamFolderThatIsAFileIsReportedAndTheHostKeepsRunning) {
  std::ofstream(maildir / ".Spam") << "not a folder\n";
  StartHost();
  Deliver("", Unique("spam", 0), Message("Offers <spammer@bad.example>", "offer0"));
  Deliver("", Unique("good", 0), Message("Friend <friend@good.example>", "hi0"));
  EXPECT_TRUE(
      WaitUntil([&] { return host.Errors().find("cannot be found or made") != std::string::npos; },
                kDeadline))
      << host.Errors();
  EXPECT_TRUE(host.Running());
  StopHost();
  // Without a spam folder nothing is moved: the mail stays where it is, the file too.
  EXPECT_EQ(Messages("").size(), 2u);
  EXPECT_EQ(Slurp(maildir / ".Spam"), "not a folder\n");
  // A host that runs once says so as well, and ends normally.
  Deliver("", Unique("spam", 1), Message("Offers <spammer@bad.example>", "offer1"));
  ProgramRun once = host.Quorvel({"run", "--once"});
  EXPECT_EQ(once.end.status, 0) << once.err;
  EXPECT_NE(once.err.find("cannot be found or made"), std::string::npos) << once.err;
  EXPECT_EQ(Messages("").size(), 3u);
}

// `run --once` kept SIGTERM blocked until its work was done, then died of it. Now a
// stop ends it at the next check: the add-in disconnects and saves, it says so, and
// it exits 0 with nothing lost.
TEST_F(RunCommandTest, RunOnceStopsOnSigtermWhileItWorks) {
  const std::string body(20000, 'x');
  constexpr int kMessages = 1500;
  for (int i = 0; i < kMessages; ++i) {
    Deliver("", Unique("spam", i),
            Message("Offers <spammer@bad.example>", "offer" + std::to_string(i)) + body + "\n");
  }
  std::string error;
  auto once = quorvel::testing::ChildProcess::Start({QUORVEL_PROGRAM, "run", "--once"},
                                                    home.Environment(), {}, &error);
  ASSERT_TRUE(once) << error;
  ASSERT_TRUE(WaitUntil([&] { return !Messages("Spam").empty() || !once->Running(); }, kDeadline));
  once->Signal(SIGTERM);
  auto end = once->Wait(kDeadline);
  ASSERT_TRUE(end) << "still running";
  EXPECT_EQ(end->status, 0) << once->Errors();
  EXPECT_NE(once->Errors().find("stopped (SIGTERM) before its work was done"), std::string::npos)
      << once->Errors();
  EXPECT_EQ(Messages("").size() + Messages("Spam").size(), static_cast<std::size_t>(kMessages));
}

// A host without the add-in's registration filtered nothing while `status` said ready
// and exited 0. It says so at the start, and `status` names the state and exits 1.
TEST_F(RunCommandTest, AHostWithoutTheAddInSaysSoAndIsNotReady) {
  Ok(host.Quorvel({"unregister"}));
  std::string error;
  EXPECT_FALSE(host.Start(std::chrono::seconds(3), &error));  // never ready
  ASSERT_TRUE(host.Running()) << error;
  ProgramRun status;
  ASSERT_TRUE(WaitUntil(
      [&] {
        status = host.Quorvel({"status"});
        return status.out.find("not-registered") != std::string::npos;
      },
      kDeadline))
      << status.out << status.err;
  EXPECT_EQ(status.end.status, 1);
  EXPECT_NE(status.out.find("quorvel register"), std::string::npos) << status.out;
  ProgramRun json = host.Quorvel({"status", "--json"});
  EXPECT_EQ(json.end.status, 1);
  EXPECT_NE(json.out.find("\"state\":\"not-registered\""), std::string::npos) << json.out;
  EXPECT_NE(host.Errors().find("the add-in is not registered"), std::string::npos) << host.Errors();
  StopHost();
}

TEST_F(RunCommandTest, AMoveIntoASpamFolderThatCannotTakeMailLeavesTheMessageInTheInbox) {
  StartHost();
  Deliver("", Unique("spam", 0), Message("Offers <spammer@bad.example>", "offer0"));
  ASSERT_TRUE(WaitUntil([&] { return Messages("Spam").size() == 1; }, kDeadline));
  // The spam folder's directories replaced by files: no move can succeed (as root too).
  fs::path cur = Folder("Spam") / "cur", newDir = Folder("Spam") / "new";
  fs::rename(cur, maildir / "cur-aside");
  fs::rename(newDir, maildir / "new-aside");
  std::ofstream(cur) << "";
  std::ofstream(newDir) << "";
  Deliver("", Unique("spam", 1), Message("Offers <spammer@bad.example>", "offer1"));
  ASSERT_TRUE(WaitUntil(
      [&] {
        auto counts = host.Status();
        return counts && counts->judged >= 2;
      },
      kDeadline))
      << host.Errors();
  EXPECT_EQ(Messages(""), (std::set<std::string>{Unique("spam", 1)}));
  EXPECT_TRUE(host.Running());
  // Mended: the next spam moves again.
  fs::remove(cur);
  fs::remove(newDir);
  fs::rename(maildir / "cur-aside", cur);
  fs::rename(maildir / "new-aside", newDir);
  Deliver("", Unique("spam", 2), Message("Offers <spammer@bad.example>", "offer2"));
  EXPECT_TRUE(WaitUntil([&] { return Messages("Spam").count(Unique("spam", 2)) == 1; }, kDeadline))
      << host.Errors();
  StopHost();
}

TEST_F(RunCommandTest, AMaildirTheHostCannotWriteIsReportedAtTheStart) {
  if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind root";
  fs::permissions(maildir, fs::perms::owner_read | fs::perms::owner_exec);
  ProgramRun run = host.Quorvel({"run", "--once"});
  EXPECT_EQ(run.end.status, 1);
  EXPECT_NE(run.err.find("not readable and writable"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace quorvel::app

namespace quorvel::app {
namespace {

// With Bayes.raw, Bayes.db and their backups damaged the host once judged every
// message "Not enough information" and moved good mail into the spam folder. Now it
// says so at the start, the Bayesian filter moves nothing, and the lists still act.
TEST_F(RunCommandTest, AnUnusableMailBaseMovesNothingByItsVerdictAndIsSaidLoudly) {
  Ok(host.Quorvel({"mailbase", "stats"}));  // the shipped files are copied in
  const fs::path data = home.DataFolder();
  for (const char* name : {"Bayes.raw", "Bayes.db", "Bayes.raw.bak", "Bayes.db.bak"}) {
    std::ofstream(data / name, std::ios::binary) << "damaged beyond repair";
  }
  Deliver("", Unique("unknown", 0), Message("Someone <someone@elsewhere.example>", "question"));
  Deliver("", Unique("spam", 0), Message("Offers <spammer@bad.example>", "offer0"));
  ProgramRun once = host.Quorvel({"run", "--once"});
  EXPECT_EQ(once.end.status, 0) << once.err;
  EXPECT_NE(once.err.find("The mail base cannot be loaded"), std::string::npos) << once.err;
  EXPECT_NE(once.err.find("moves no message"), std::string::npos) << once.err;
  EXPECT_EQ(Messages(""), (std::set<std::string>{Unique("unknown", 0)}));
  EXPECT_EQ(Messages("Spam"), (std::set<std::string>{Unique("spam", 0)}));
  // The damaged files are left for the user to repair, never written over.
  EXPECT_EQ(Slurp(data / "Bayes.raw"), "damaged beyond repair");

  // A running host with such a mail base is not "ready": a service check sees it.
  std::string error;
  ASSERT_TRUE(host.Start(kDeadline, &error, {}, /*serving=*/true)) << error;
  ProgramRun status = host.Quorvel({"status"});
  EXPECT_EQ(status.end.status, 1) << status.out;
  EXPECT_NE(status.out.find(", degraded; "), std::string::npos) << status.out;
  EXPECT_NE(status.out.find("the mail base does not load"), std::string::npos) << status.out;
  ProgramRun json = host.Quorvel({"status", "--json"});
  EXPECT_NE(json.out.find("\"state\":\"degraded\""), std::string::npos) << json.out;
  EXPECT_NE(json.out.find("\"ready\":false"), std::string::npos) << json.out;
  StopHost();
}

}  // namespace
}  // namespace quorvel::app

namespace quorvel::app {
namespace {

// A FIFO in new/ once held the host's watcher in open() for good: no more mail was
// handled and SIGTERM no longer stopped the host. Now it is passed over, by name where
// it is named, and the rest of the folder goes on.
TEST_F(RunCommandTest, AFifoInNewIsPassedOverAndTheRestOfTheMailIsHandled) {
  StartHost();
  const fs::path fifo = Folder("") / "new" / Unique("fifo", 0);
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  Deliver("", Unique("spam", 0), Message("Offers <spammer@bad.example>", "offer0"));
  Deliver("", Unique("good", 0), Message("Friend <friend@good.example>", "hi0"));
  EXPECT_TRUE(WaitUntil(
      [&] {
        auto counts = host.Status();
        return counts && counts->judged >= 2 && Messages("Spam").size() == 1;
      },
      kDeadline))
      << host.Errors();
  StopHost();
  EXPECT_TRUE(fs::is_fifo(fifo));

  // Named on the command line it is refused by name; in a folder it is passed over.
  ProgramRun named = host.Quorvel({"classify", fifo.string()});
  EXPECT_EQ(named.end.status, 3) << named.err;
  EXPECT_NE(named.err.find(fifo.string() + ": not a regular file"), std::string::npos) << named.err;
  ProgramRun folder = host.Quorvel({"classify", maildir.string()});
  EXPECT_EQ(folder.end.status, 0) << folder.err;
  EXPECT_NE(folder.out.find(Unique("good", 0)), std::string::npos) << folder.out;
  EXPECT_EQ(folder.out.find(Unique("fifo", 0)), std::string::npos) << folder.out;
}

}  // namespace
}  // namespace quorvel::app
