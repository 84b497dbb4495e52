// The user's own moves through the real program: a host runs on a Maildir profile
// while the test moves messages as mail programs do (a rename, a mutt-style copy whose
// original is deleted afterwards), and on an IMAP profile against a Dovecot on
// loopback while an IMAP client moves them (MOVE, COPY + EXPUNGE, into the Inbox or
// another folder). A message taken back out of the spam folder stays where the user
// put it, and every move of the user's, and none of the host's, is reported.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "mapi/imap/test_dovecot.h"
#include "testing/child_process.h"
#include "testing/file_bytes.h"
#include "testing/temporary_home.h"
#include "testing/wait_until.h"

namespace quorvel::app {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using quorvel::testing::ChildProcess;
using quorvel::testing::ProgramRun;
using quorvel::testing::Slurp;
using quorvel::testing::Spit;
using quorvel::testing::TemporaryHome;
using quorvel::testing::WaitUntil;

constexpr const char* kOutOfSpam = "the user moved 1 message(s) out of the spam folder";
constexpr const char* kIntoSpam = "the user moved 1 message(s) into the spam folder";

// A message as a delivery agent leaves it, with its delivery fields.
std::string Delivered(const std::string& id, const std::string& from, const std::string& crlf) {
  return "Received: from relay.example by mx.example; Mon, 7 Dec 2026 10:00:00 +0000" + crlf +
         "Date: Mon, 7 Dec 2026 09:59:00 +0000" + crlf + "From: <" + from + ">" + crlf +
         "To: me@home.example" + crlf + "Subject: " + id + crlf + "Message-ID: <" + id +
         "@test.example>" + crlf + crlf + "The body of " + id + " with enough words." + crlf;
}

std::size_t Count(const std::string& text, const std::string& line) {
  std::size_t n = 0;
  for (std::size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1)) ++n;
  return n;
}

class MovesTest : public ::testing::Test {
 protected:
  ProgramRun Quorvel(std::vector<std::string> args, const std::string& input = "") {
    args.insert(args.begin(), QUORVEL_PROGRAM);
    return quorvel::testing::RunProgram(args, home_.Environment(), input, 60s);
  }
  // The black list holds the spammers, the white list the friend.
  void ImportLists() {
    for (const auto& [list, address] :
         {std::pair{"black", "spammer@bad.example\r\nlate@worse.example"},
          std::pair{"white", "friend@good.example"}}) {
      const fs::path file = fs::path(home_.root()) / (std::string(list) + ".txt");
      Spit(file, std::string(address) + "\r\n");
      ProgramRun run = Quorvel({"list", list, "import", file.string()});
      ASSERT_EQ(run.end.status, 0) << run.err;
    }
  }
  std::unique_ptr<ChildProcess> StartHost() {
    std::string error;
    auto host = ChildProcess::Start({QUORVEL_PROGRAM, "run"}, home_.Environment(), {}, &error);
    EXPECT_NE(host, nullptr) << error;
    if (!host) return host;
    EXPECT_TRUE(
        WaitUntil([&] { return Quorvel({"status"}).end.status == 0 || !host->Running(); }, 30s));
    return host;
  }
  // Waits until the host's log holds `line` `times` times.
  static bool Logged(ChildProcess& host, const char* line, std::size_t times) {
    if (WaitUntil([&] { return Count(host.Errors(), line) >= times; }, 40s)) return true;
    ADD_FAILURE() << "\"" << line << "\" not logged " << times << " times:\n" << host.Errors();
    return false;
  }

  // `quorvel undo --list` once it lists at least `n` markings (a move is logged when it
  // is found; its marking follows).
  ProgramRun Markings(std::size_t n) {
    ProgramRun list;
    EXPECT_TRUE(WaitUntil(
        [&] {
          list = Quorvel({"undo", "--list"});
          return Count(list.out, " message(s)\n") >= n;
        },
        30s))
        << list.out << list.err;
    return list;
  }

  TemporaryHome home_;
};

class MaildirMovesTest : public MovesTest {
 protected:
  void SetUp() override {
    maildir_ = fs::path(home_.root()) / "Maildir";
    for (const char* sub : {"cur", "new", "tmp"}) fs::create_directories(maildir_ / sub);
    ASSERT_EQ(Quorvel({"profile", "add", "home", "--maildir", maildir_.string(), "--address",
                       "me@home.example"})
                  .end.status,
              0);
    ASSERT_EQ(Quorvel({"register"}).end.status, 0);
    ImportLists();
  }
  void Deliver(const std::string& id, const std::string& from) {
    Spit(maildir_ / "tmp" / (id + ".mx"), Delivered(id, from, "\n"));
    fs::rename(maildir_ / "tmp" / (id + ".mx"), maildir_ / "new" / (id + ".mx"));
  }
  // The file of a folder ("" the Inbox) that holds message `id`; empty when none.
  fs::path FileOf(const std::string& folder, const std::string& id) const {
    const fs::path dir = folder.empty() ? maildir_ : maildir_ / ("." + folder);
    for (const char* sub : {"cur", "new"}) {
      if (!fs::exists(dir / sub)) continue;
      for (const auto& entry : fs::directory_iterator(dir / sub)) {
        if (Slurp(entry.path()).find("<" + id + "@") != std::string::npos) return entry.path();
      }
    }
    return {};
  }
  bool In(const std::string& folder, const std::string& id) const {
    return !FileOf(folder, id).empty();
  }

  fs::path maildir_;
};

TEST_F(MaildirMovesTest, RenamesAndMuttStyleCopiesAreTheUsersMovesAndStay) {
  auto host = StartHost();
  ASSERT_TRUE(host && host->Running());
  for (const char* id : {"renamed", "copied", "kept"}) Deliver(id, "spammer@bad.example");
  Deliver("friendly", "friend@good.example");
  Deliver("unwanted", "friend@good.example");
  ASSERT_TRUE(WaitUntil([&] { return In("Spam", "renamed") && In("Spam", "copied"); }, 30s))
      << host->Errors();
  ASSERT_TRUE(WaitUntil([&] { return In("Spam", "kept"); }, 30s));
  EXPECT_EQ(Count(host->Errors(), "the user moved"), 0u) << host->Errors();  // the host's own

  // mv out of the spam folder, under a new name as a mail program gives it.
  fs::rename(FileOf("Spam", "renamed"), maildir_ / "cur/1800000000.R.laptop:2,S");
  ASSERT_TRUE(Logged(*host, kOutOfSpam, 1));
  // A mutt-style copy: a new file in the Inbox, the original deleted a while later.
  const fs::path original = FileOf("Spam", "copied");
  Spit(maildir_ / "tmp/1800000001.C.laptop", Slurp(original));
  fs::rename(maildir_ / "tmp/1800000001.C.laptop", maildir_ / "cur/1800000001.C.laptop:2,S");
  ASSERT_TRUE(Logged(*host, kOutOfSpam, 2));
  fs::remove(original);

  // Into the spam folder: a rename, and a copy whose original goes.
  fs::rename(FileOf("", "friendly"), maildir_ / ".Spam/cur/1800000002.F.laptop:2,S");
  ASSERT_TRUE(Logged(*host, kIntoSpam, 1));
  const fs::path unwanted = FileOf("", "unwanted");
  Spit(maildir_ / ".Spam/tmp/1800000003.U.laptop", Slurp(unwanted));
  fs::rename(maildir_ / ".Spam/tmp/1800000003.U.laptop",
             maildir_ / ".Spam/cur/1800000003.U.laptop:2,S");
  fs::remove(unwanted);
  ASSERT_TRUE(Logged(*host, kIntoSpam, 2));

  // Later spam is still moved, and what the user took back stayed where they put it.
  // From another spammer: taking mail back out of the spam folder whitelisted the first.
  Deliver("later", "late@worse.example");
  ASSERT_TRUE(WaitUntil([&] { return In("Spam", "later"); }, 30s)) << host->Errors();
  EXPECT_TRUE(In("", "renamed"));
  EXPECT_TRUE(In("", "copied"));
  EXPECT_FALSE(In("Spam", "renamed"));
  EXPECT_TRUE(In("Spam", "friendly"));
  EXPECT_EQ(Count(host->Errors(), "the user moved"), 4u) << host->Errors();

  // Each move was a marking, recorded with what it changed; the last one taken back.
  // (A move is logged when it is found; its marking follows.)
  const ProgramRun list = Markings(4);
  EXPECT_EQ(Count(list.out, "\tjunk\tmove\t1 message(s)\n"), 2u) << list.out;
  EXPECT_EQ(Count(list.out, "\tgood\tmove\t1 message(s)\n"), 2u) << list.out;
  ProgramRun undone = Quorvel({"undo"});
  ASSERT_EQ(undone.end.status, 0) << undone.err;
  EXPECT_EQ(undone.out, "undone: marking 1 (junk, 1 message(s))\n");
  ProgramRun again = Quorvel({"undo", "1"});
  EXPECT_EQ(again.end.status, 1);
  EXPECT_NE(again.err.find("marking 1 is undone already"), std::string::npos) << again.err;
  EXPECT_NE(Quorvel({"undo", "--list"}).out.find("\tundone\n"), std::string::npos);
  ASSERT_TRUE(host->Signal(SIGTERM));
  ASSERT_TRUE(host->Wait(30s));
}

class ImapMovesTest : public MovesTest {
 protected:
  void SetUp() override {
    QUORVEL_NEED_DOVECOT(server_, "");
    user_ = server_->AddUser();
    direct_ = mapi::imap::testing::Direct(*server_, user_);
    ASSERT_TRUE(direct_);
    ASSERT_EQ(Quorvel({"register"}).end.status, 0);
    ImportLists();
    const std::string url = "imaps://" + user_ + "@127.0.0.1:" + std::to_string(server_->tlsPort());
    ProgramRun added = Quorvel({"profile", "add", "box", "--imap", url, "--address",
                                "me@home.example", "--ca-file", server_->caFile()},
                               server_->password() + "\n");
    ASSERT_EQ(added.end.status, 0) << added.err;
  }
  void Deliver(const std::string& id, const std::string& from) {
    mapi::imap::ImapError error;
    ASSERT_TRUE(direct_->Append("INBOX", Delivered(id, from, "\r\n"), {}, &error)) << error.text;
  }
  // The UID of message `id` in `mailbox`; 0 when it is not there.
  std::uint32_t Uid(const std::string& mailbox, const std::string& id) {
    for (const auto& m : mapi::imap::testing::Messages(*direct_, mailbox)) {
      if (m.content.find("<" + id + "@") != std::string::npos) return m.uid;
    }
    return 0;
  }
  bool In(const std::string& mailbox, const std::string& id) { return Uid(mailbox, id) != 0; }

  quorvel::testing::DovecotServer* server_ = nullptr;
  std::string user_;
  std::unique_ptr<mapi::imap::ImapConnection> direct_;
};

TEST_F(ImapMovesTest, MovesBackToTheInboxAreNotJudgedAgainAndMovesIntoJunkAreSeen) {
  auto host = StartHost();
  ASSERT_TRUE(host && host->Running());
  Deliver("moved", "spammer@bad.example");
  Deliver("expunged", "spammer@bad.example");
  Deliver("friendly", "friend@good.example");
  ASSERT_TRUE(WaitUntil([&] { return In("Junk", "moved") && In("Junk", "expunged"); }, 30s))
      << host->Errors();

  mapi::imap::ImapError error;
  std::optional<std::uint32_t> newUid;
  // MOVE back into INBOX.
  const std::uint32_t moved = Uid("Junk", "moved");
  ASSERT_TRUE(direct_->Select("Junk", false, &error)) << error.text;
  ASSERT_TRUE(direct_->Move(moved, "INBOX", &newUid, &error)) << error.text;
  ASSERT_TRUE(Logged(*host, kOutOfSpam, 1));
  // COPY, then \Deleted and EXPUNGE, as clients without MOVE do.
  const std::uint32_t uid = Uid("Junk", "expunged");
  ASSERT_TRUE(direct_->Select("Junk", false, &error)) << error.text;
  ASSERT_TRUE(direct_->Copy(uid, "INBOX", &newUid, &error)) << error.text;
  ASSERT_TRUE(direct_->StoreFlags(uid, true, {"\\Deleted"}, &error)) << error.text;
  ASSERT_TRUE(direct_->UidExpunge(uid, &error)) << error.text;
  ASSERT_TRUE(Logged(*host, kOutOfSpam, 2));

  // MOVE into the spam folder: seen by the next scan of it.
  const std::uint32_t friendly = Uid("INBOX", "friendly");
  ASSERT_TRUE(direct_->Select("INBOX", false, &error)) << error.text;
  ASSERT_TRUE(direct_->Move(friendly, "Junk", &newUid, &error)) << error.text;
  ASSERT_TRUE(Logged(*host, kIntoSpam, 1));

  // Later spam is still moved; what the user moved stayed.
  // From another spammer: taking mail back out of the spam folder whitelisted the first.
  Deliver("later", "late@worse.example");
  ASSERT_TRUE(WaitUntil([&] { return In("Junk", "later"); }, 30s)) << host->Errors();
  EXPECT_TRUE(In("INBOX", "moved"));
  EXPECT_TRUE(In("INBOX", "expunged"));
  EXPECT_TRUE(In("Junk", "friendly"));
  EXPECT_EQ(Count(host->Errors(), "the user moved"), 3u) << host->Errors();
  ASSERT_TRUE(host->Signal(SIGTERM));
  ASSERT_TRUE(host->Wait(30s));
}

// Another IMAP client moves spam into a folder of the user's (made after the host
// started): the store hears nothing of it, but the next scan of the spam folder finds
// it gone and looks it up by Message-ID in the other folders. It is learned as good
// once, and stays there.
TEST_F(ImapMovesTest, AMoveOutOfJunkIntoAnotherFolderIsLearnedOnceAndStays) {
  auto host = StartHost();
  ASSERT_TRUE(host && host->Running());
  Deliver("archived", "spammer@bad.example");
  Deliver("deleted", "spammer@bad.example");
  ASSERT_TRUE(WaitUntil([&] { return In("Junk", "archived") && In("Junk", "deleted"); }, 30s))
      << host->Errors();
  mapi::imap::ImapError error;
  ASSERT_TRUE(direct_->Create("Archive", &error)) << error.text;
  std::optional<std::uint32_t> newUid;
  const std::uint32_t archived = Uid("Junk", "archived");
  const std::uint32_t deleted = Uid("Junk", "deleted");
  ASSERT_TRUE(direct_->Select("Junk", false, &error)) << error.text;
  ASSERT_TRUE(direct_->Move(archived, "Archive", &newUid, &error)) << error.text;
  // Deleted outright: gone from the spam folder too, but found nowhere: no verdict.
  ASSERT_TRUE(direct_->StoreFlags(deleted, true, {"\\Deleted"}, &error)) << error.text;
  ASSERT_TRUE(direct_->UidExpunge(deleted, &error)) << error.text;
  ASSERT_TRUE(Logged(*host, kOutOfSpam, 1));
  const ProgramRun list = Markings(1);
  EXPECT_EQ(Count(list.out, "\tgood\tmove\t1 message(s)\n"), 1u) << list.out;

  // Later spam is still moved (from another spammer: the first is whitelisted now);
  // the archived message stayed where the user put it and was learned only once.
  Deliver("later", "late@worse.example");
  ASSERT_TRUE(WaitUntil([&] { return In("Junk", "later"); }, 30s)) << host->Errors();
  EXPECT_TRUE(In("Archive", "archived"));
  EXPECT_FALSE(In("Junk", "archived"));
  EXPECT_EQ(Count(host->Errors(), "the user moved"), 1u) << host->Errors();
  EXPECT_EQ(Count(Quorvel({"undo", "--list"}).out, " message(s)\n"), 1u);
  ASSERT_TRUE(host->Signal(SIGTERM));
  ASSERT_TRUE(host->Wait(30s));
}

}  // namespace
}  // namespace quorvel::app
