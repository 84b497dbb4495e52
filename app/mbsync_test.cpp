// The host beside mbsync: a Maildir that mbsync keeps in step with an IMAP server (a
// Dovecot the test starts on loopback), while `quorvel run` moves the spam that arrives
// in it. Several rounds of delivery on the server, sync, judgement and sync again: every
// round mbsync ends with 0, and in the end each message is exactly once on each side, in
// the same folder (spam in Junk, good mail in INBOX). Skipped, saying why, where mbsync
// or Dovecot is missing.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "testing/child_process.h"
#include "testing/dovecot_server.h"
#include "testing/file_bytes.h"
#include "testing/host_process.h"
#include "testing/temporary_home.h"
#include "testing/wait_until.h"

namespace quorvel::app {
namespace {

namespace fs = std::filesystem;
using quorvel::testing::DovecotServer;
using quorvel::testing::HostProcess;
using quorvel::testing::ProgramRun;
using quorvel::testing::Slurp;
using quorvel::testing::TemporaryHome;
using quorvel::testing::WaitUntil;
using namespace std::chrono_literals;

constexpr auto kDeadline = 30s;
constexpr int kRounds = 4;
constexpr int kPerRound = 6;  // half of them spam

std::string Message(bool spam, const std::string& id) {
  return std::string("From: ") +
         (spam ? "Offers <spammer@bad.example>" : "Friend <friend@good.example>") +
         "\r\nTo: me@home.example\r\nSubject: " + id + "\r\nMessage-ID: <" + id +
         "@test.example>\r\nDate: Mon, 7 Dec 2026 02:00:00 +0000\r\n\r\nHello " + id + "\r\n";
}

// How many times each Message-ID is in a Maildir folder's new/ and cur/.
std::map<std::string, int> Census(const fs::path& folder) {
  std::map<std::string, int> ids;
  for (const char* sub : {"new", "cur"}) {
    std::error_code ec;
    for (fs::directory_iterator it(folder / sub, ec), end; !ec && it != end; ++it) {
      std::string text = Slurp(it->path());
      std::size_t at = text.find("Message-ID: <");
      if (at != std::string::npos) ++ids[text.substr(at + 13, text.find('@', at) - at - 13)];
    }
  }
  return ids;
}

bool IsProgram(const char* path) { return ::access(path, X_OK) == 0; }

class MbsyncTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!IsProgram("/usr/bin/mbsync")) GTEST_SKIP() << "mbsync (isync) is not installed";
    std::string whyNot;
    server_ = DovecotServer::Start({}, &whyNot);
    if (!server_) GTEST_SKIP() << "no Dovecot: " << whyNot;
    user_ = server_->AddUser();
    for (const char* sub : {"cur", "new", "tmp"}) fs::create_directories(local_ / sub);
    std::ofstream(home_.root() + "/black.txt") << "spammer@bad.example\r\n";
    std::ofstream(home_.root() + "/white.txt") << "friend@good.example\r\n";
    Ok(host_.Quorvel({"list", "black", "import", home_.root() + "/black.txt"}));
    Ok(host_.Quorvel({"list", "white", "import", home_.root() + "/white.txt"}));
    Ok(host_.Quorvel(
        {"profile", "add", "home", "--maildir", local_.string(), "--address", "me@home.example"}));
    Ok(host_.Quorvel({"register"}));
    // AltMap off (the default): the UID is part of each file name.
    std::ofstream(config_) << "IMAPAccount server\nHost 127.0.0.1\nPort " << server_->port()
                           << "\nUser " << user_ << "\nPass " << server_->password()
                           << "\nSSLType None\nAuthMechs LOGIN\n\n"
                           << "IMAPStore far\nAccount server\n\n"
                           << "MaildirStore near\nInbox " << local_.string()
                           << "\nSubFolders Maildir++\n\n"
                           << "Channel mail\nFar :far:\nNear :near:\nPatterns *\n"
                           << "Create Both\nExpunge Both\nSyncState *\n";
  }
  void TearDown() override {
    if (host_.Running()) host_.Stop(kDeadline);
  }

  static void Ok(const ProgramRun& run) { ASSERT_EQ(run.end.status, 0) << run.out << run.err; }
  ProgramRun Sync() {
    return quorvel::testing::RunProgram({"/usr/bin/mbsync", "-c", config_, "-a"},
                                        home_.Environment());
  }
  // Into the server's INBOX, as its delivery agent leaves it.
  void DeliverOnServer(const std::string& id, bool spam) {
    fs::path dir = server_->Maildir(user_);
    fs::create_directories(dir / "tmp");
    fs::create_directories(dir / "new");
    std::ofstream(dir / "tmp" / id, std::ios::binary) << Message(spam, id);
    fs::rename(dir / "tmp" / id, dir / "new" / id);
  }
  // Into the local INBOX, as a local delivery agent leaves it.
  void DeliverHere(const std::string& id, bool spam) {
    std::ofstream(local_ / "tmp" / id, std::ios::binary) << Message(spam, id);
    fs::rename(local_ / "tmp" / id, local_ / "new" / id);
  }
  std::string Say(const std::string& what) {
    return what + "\nhost: " + host_.Errors() + "\nserver: " + server_->Log();
  }

  TemporaryHome home_;
  HostProcess host_{QUORVEL_PROGRAM, home_};
  std::unique_ptr<DovecotServer> server_;
  std::string user_;
  fs::path local_ = fs::path(home_.root()) / "Maildir";
  std::string config_ = home_.root() + "/mbsyncrc";
};

TEST_F(MbsyncTest, RoundsOfSyncWithARunningHostLoseAndDuplicateNothing) {
  Ok(Sync());  // the server's folders, Junk among them, made here
  std::string error;
  ASSERT_TRUE(host_.Start(kDeadline, &error)) << error;
  std::map<std::string, int> spam, good;  // what each side must hold in the end
  for (int round = 0; round < kRounds; ++round) {
    for (int i = 0; i < kPerRound; ++i) {
      std::string id = "r" + std::to_string(round) + "m" + std::to_string(i);
      bool isSpam = i % 2 == 0;
      DeliverOnServer(id, isSpam);
      (isSpam ? spam : good)[id] = 1;
    }
    ProgramRun fetched = Sync();
    ASSERT_EQ(fetched.end.status, 0) << Say("round " + std::to_string(round) + ": " + fetched.err);
    // The host moves the new spam into the Junk folder mbsync made...
    ASSERT_TRUE(WaitUntil([&] { return Census(local_ / ".Junk") == spam; }, kDeadline))
        << Say("round " + std::to_string(round));
    // ... and the next sync carries the moves to the server.
    ProgramRun pushed = Sync();
    ASSERT_EQ(pushed.end.status, 0) << Say("round " + std::to_string(round) + ": " + pushed.err);
  }
  ProgramRun last = Sync();
  EXPECT_EQ(last.end.status, 0) << last.err;
  fs::path far = server_->Maildir(user_);
  EXPECT_EQ(Census(far), good) << Say("server INBOX");
  EXPECT_EQ(Census(far / ".Junk"), spam) << Say("server Junk");
  EXPECT_EQ(Census(local_), good);
  EXPECT_EQ(Census(local_ / ".Junk"), spam);
  // The host made no folder of its own: only the server's reached either side.
  EXPECT_FALSE(fs::exists(local_ / ".Spam"));
  EXPECT_FALSE(fs::exists(far / ".Spam"));
  EXPECT_FALSE(fs::exists(far / ".Outbox"));
  auto counts = host_.Status();
  ASSERT_TRUE(counts);
  EXPECT_EQ(counts->judged, kRounds * kPerRound);
  EXPECT_EQ(counts->moved, kRounds * kPerRound / 2);
}

// mbsync runs round after round, without a pause, while a burst of mail is delivered
// into the local INBOX and into the server's, and the host moves its spam: mbsync
// uploads and renames the files the host is moving, and brings down files (named with
// their UID, ",U=") that the host moves as they come, and still every round ends with 0
// and each message ends exactly once on each side. (A move that kept the ",U=" of the
// name made mbsync fail with "UID ... is beyond highest assigned UID"; the local half
// alone never showed it: the host moved those files before mbsync had named them.)
TEST_F(MbsyncTest, SyncDuringABurstOfLocalDeliveriesLosesAndDuplicatesNothing) {
  Ok(Sync());
  std::string error;
  ASSERT_TRUE(host_.Start(kDeadline, &error)) << error;
  constexpr int kBurst = 60;
  std::atomic<bool> stop{false};
  std::vector<ProgramRun> failed;
  int rounds = 0;
  std::thread syncing([&] {
    while (!stop.load()) {
      ProgramRun run = Sync();
      ++rounds;
      if (run.end.status != 0) failed.push_back(run);
    }
  });
  std::map<std::string, int> spam, good;
  for (int i = 0; i < kBurst; ++i) {
    const std::string id = "b" + std::to_string(i);
    const bool isSpam = i % 2 == 0;
    if (i % 4 < 2) {
      DeliverHere(id, isSpam);
    } else {
      DeliverOnServer(id, isSpam);
    }
    (isSpam ? spam : good)[id] = 1;
  }
  const bool settled = WaitUntil(
      [&] { return Census(local_ / ".Junk") == spam && Census(local_) == good; }, kDeadline);
  stop = true;
  syncing.join();
  ASSERT_TRUE(settled) << Say("the burst's spam was not moved");
  for (const ProgramRun& run : failed) ADD_FAILURE() << Say("mbsync failed: " + run.err);
  ProgramRun last = Sync();
  ASSERT_EQ(last.end.status, 0) << last.err;
  fs::path far = server_->Maildir(user_);
  EXPECT_EQ(Census(far), good) << Say("server INBOX after " + std::to_string(rounds) + " rounds");
  EXPECT_EQ(Census(far / ".Junk"), spam) << Say("server Junk");
  EXPECT_EQ(Census(local_), good);
  EXPECT_EQ(Census(local_ / ".Junk"), spam);
}

}  // namespace
}  // namespace quorvel::app
