// The host as a user meets it: a fresh profile on a temporary Maildir, `quorvel run`
// in the background, commands sent to it while it runs, SIGTERM, and then the
// registry and the data files read back. Every wait has a deadline; nothing sleeps
// for a fixed time.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

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
using testing::TemporaryHome;
using testing::WaitUntil;

using quorvel::testing::Slurp;
using quorvel::testing::Spit;

// Every message file of a Maildir, in any folder: what "nothing lost" counts.
std::vector<std::string> MessageFiles(const fs::path& maildir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::recursive_directory_iterator(maildir)) {
    const std::string parent = entry.path().parent_path().filename().string();
    if (entry.is_regular_file() && (parent == "cur" || parent == "new")) {
      std::string name = entry.path().filename().string();
      names.push_back(name.substr(0, name.find(':')));  // flags may change, the name stays
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

constexpr const char* kFromFriend =
    "From: Ann <ann@friends.example>\nTo: me@example.org\nSubject: Lunch\n"
    "Message-ID: <lunch@friends.example>\n\n"
    "Shall we meet for lunch on Thursday at the usual place near the office?\n";
constexpr const char* kFromBlocked =
    "From: Offers <deals@blocked.example>\nTo: me@example.org\nSubject: Your invoice\n"
    "Message-ID: <invoice@blocked.example>\n\n"
    "Please find the invoice for last month's order attached to this letter.\n";

class HostEndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    maildir_ = fs::path(home_.root()) / "Maildir";
    for (const char* sub : {"cur", "new", "tmp"}) fs::create_directories(maildir_ / sub);
    Spit(maildir_ / "cur/1700000000.1.host:2,S", kFromFriend);
    Spit(maildir_ / "new/1700000001.2.host", kFromFriend);
    Spit(fs::path(home_.root()) / "blocked.eml", kFromBlocked);
    Spit(fs::path(home_.root()) / "friend.eml", kFromFriend);
  }

  ProgramRun Quorvel(std::vector<std::string> args, const std::string& input = "") {
    args.insert(args.begin(), QUORVEL_PROGRAM);
    return testing::RunProgram(args, home_.Environment(), input, 60s);
  }

  // `quorvel run`, once `status` says it is ready; null (the test failed) when it ended
  // first or never was.
  std::unique_ptr<ChildProcess> StartHost() {
    std::string error;
    auto host = ChildProcess::Start({QUORVEL_PROGRAM, "run"}, home_.Environment(), {}, &error);
    if (!host) {
      ADD_FAILURE() << error;
      return nullptr;
    }
    if (!WaitUntil([&] { return Quorvel({"status"}).end.status == 0 || !host->Running(); }, 30s) ||
        !host->Running()) {
      ADD_FAILURE() << "the host was not ready: " << host->Errors();
      return nullptr;
    }
    return host;
  }

  TemporaryHome home_;
  fs::path maildir_;
};

TEST_F(HostEndToEndTest, FreshProfileRunsServesCommandsAndKeepsEverythingAfterSigterm) {
  ProgramRun added = Quorvel(
      {"profile", "add", "home", "--maildir", maildir_.string(), "--address", "me@example.org"});
  ASSERT_EQ(added.end.status, 0) << added.err;
  ProgramRun registered = Quorvel({"register"});
  ASSERT_EQ(registered.end.status, 0) << registered.err;
  const std::vector<std::string> before = MessageFiles(maildir_);

  std::string error;
  auto host = ChildProcess::Start({QUORVEL_PROGRAM, "run"}, home_.Environment(), {}, &error);
  ASSERT_NE(host, nullptr) << error;
  ProgramRun status;
  ASSERT_TRUE(WaitUntil(
      [&] {
        status = Quorvel({"status", "--json"});
        return status.end.status == 0 || !host->Running();
      },
      30s))
      << host->Errors();
  ASSERT_EQ(status.end.status, 0) << status.out << status.err << host->Errors();
  nlohmann::json state = nlohmann::json::parse(status.out);
  EXPECT_EQ(state["profile"], "home");
  EXPECT_EQ(state["ready"], true);
  EXPECT_EQ(state["pid"], host->pid());

  // Commands sent to the running host: a second host cannot run beside it, so these
  // succeed only through the channel.
  const std::string list = (fs::path(home_.root()) / "blocked.txt").string();
  Spit(list, "Offers\tblocked.example\r\n");
  ProgramRun imported = Quorvel({"list", "black", "import", list});
  ASSERT_EQ(imported.end.status, 0) << imported.err;
  EXPECT_NE(imported.out.find("Imported"), std::string::npos) << imported.out;

  ProgramRun judged = Quorvel({"classify", (fs::path(home_.root()) / "blocked.eml").string(),
                               (fs::path(home_.root()) / "friend.eml").string()});
  ASSERT_EQ(judged.end.status, 0) << judged.err;
  EXPECT_NE(judged.out.find("blocked.eml\tspam\t"), std::string::npos) << judged.out;
  EXPECT_NE(judged.out.find("friend.eml\tgood\t"), std::string::npos) << judged.out;

  const std::string exported = (fs::path(home_.root()) / "out/black.txt").string();
  fs::create_directories(fs::path(exported).parent_path());
  ProgramRun written = Quorvel({"list", "black", "export", exported});
  ASSERT_EQ(written.end.status, 0) << written.err;
  EXPECT_NE(Slurp(exported).find("blocked.example"), std::string::npos);

  // Standard input is the client's: the delivery filter's use.
  ProgramRun filtered = Quorvel({"classify", "--exit-code", "-"}, kFromBlocked);
  EXPECT_EQ(filtered.end.status, 1) << filtered.out << filtered.err;
  EXPECT_NE(filtered.out.find("-\tspam\tSender's domain is in Black List"), std::string::npos)
      << filtered.out;

  ProgramRun second = Quorvel({"run"});
  EXPECT_EQ(second.end.status, 1);
  EXPECT_NE(second.err.find(std::to_string(host->pid())), std::string::npos) << second.err;

  ASSERT_TRUE(host->Signal(SIGTERM));
  auto end = host->Wait(30s);
  ASSERT_TRUE(end.has_value()) << "the host did not stop: " << host->Errors();
  EXPECT_EQ(end->status, 0) << host->Errors();
  EXPECT_NE(host->Errors().find("stopped (SIGTERM)"), std::string::npos) << host->Errors();

  // Read back: the profile, the registration and the imported list are in the
  // registry (the host's save at its end did not put back the list it had loaded at
  // its start); the mail base was seeded; no message was lost; the socket is gone.
  const std::string user = Slurp(home_.RegistryFile());
  EXPECT_NE(user.find("home"), std::string::npos);
  EXPECT_NE(Slurp(home_.RegistryFile("HKEY_LOCAL_MACHINE")).find("Addins"), std::string::npos);
  ProgramRun after = Quorvel({"list", "black", "export", exported});
  ASSERT_EQ(after.end.status, 0) << after.err;
  EXPECT_NE(Slurp(exported).find("blocked.example"), std::string::npos)
      << "the imported list was lost when the host stopped";
  EXPECT_TRUE(fs::exists(fs::path(home_.DataFolder()) / "Bayes.raw"));
  EXPECT_TRUE(fs::exists(fs::path(home_.DataFolder()) / "Bayes.db"));
  // The host made no folder (IMAP clients and synchronizers would show any): not even
  // the spam folder, since no spam went into it.
  for (const char* unasked : {".Sent", ".Outbox", ".Contacts", ".Drafts", ".Spam"}) {
    EXPECT_FALSE(fs::exists(maildir_ / unasked)) << unasked;
  }
  EXPECT_EQ(MessageFiles(maildir_), before);
  EXPECT_FALSE(fs::exists(fs::path(home_.RuntimeDir()) / "quorvel-home.sock"));
  ProgramRun stopped = Quorvel({"status"});
  EXPECT_EQ(stopped.end.status, 1);
  EXPECT_NE(stopped.out.find("no host runs"), std::string::npos) << stopped.out;
}

// A client interrupted with Ctrl-C in the middle of a long command leaves the host
// serving at once: the command stops at its next message instead of judging the rest
// for nobody while the next command waits behind it.
TEST_F(HostEndToEndTest, AClientInterruptedMidCommandStopsItsWorkInTheHost) {
  ASSERT_EQ(Quorvel({"profile", "add", "home", "--maildir", maildir_.string()}).end.status, 0);
  // 200,000 messages: ten seconds or more of reading and judging, were it not stopped.
  const fs::path mbox = fs::path(home_.root()) / "many.mbox";
  {
    std::ofstream out(mbox, std::ios::binary);
    for (int i = 0; i < 200000; ++i) {
      out << "From ann@friends.example Thu Jan  1 00:00:00 2020\n" << kFromFriend << "\n";
    }
  }
  std::string error;
  auto host = StartHost();
  ASSERT_TRUE(host);

  auto client = ChildProcess::Start({QUORVEL_PROGRAM, "classify", mbox.string()},
                                    home_.Environment(), {}, &error);
  ASSERT_NE(client, nullptr) << error;
  ASSERT_TRUE(WaitUntil([&] { return !client->Output().empty() || !client->Running(); }, 30s));
  ASSERT_TRUE(client->Signal(SIGINT)) << "the command ended before it could be interrupted";
  auto interrupted = client->Wait(30s);
  ASSERT_TRUE(interrupted.has_value());
  EXPECT_EQ(interrupted->signal, SIGINT);

  const auto start = std::chrono::steady_clock::now();
  ProgramRun next = Quorvel({"classify", (fs::path(home_.root()) / "friend.eml").string()});
  EXPECT_EQ(next.end.status, 0) << next.err;
  EXPECT_NE(next.out.find("friend.eml\tgood"), std::string::npos) << next.out;
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s)
      << "the next command waited for the interrupted one";
  ASSERT_TRUE(host->Signal(SIGTERM));
  auto end = host->Wait(30s);
  ASSERT_TRUE(end.has_value()) << host->Errors();
  EXPECT_EQ(end->status, 0) << host->Errors();
}

// The journal of a host that moved spam, as `quorvel log` shows it, and the line its
// standard error has for the move.
TEST_F(HostEndToEndTest, AHostThatMovesSpamJournalsItAndLogsTheMove) {
  const fs::path& maildir = maildir_;
  ASSERT_EQ(Quorvel({"profile", "add", "home", "--maildir", maildir.string(), "--address",
                     "me@example.org"})
                .end.status,
            0);
  ASSERT_EQ(Quorvel({"register"}).end.status, 0);
  const std::string list = (fs::path(home_.root()) / "blocked.txt").string();
  Spit(list, "Offers\tblocked.example\r\n");
  ProgramRun imported = Quorvel({"list", "black", "import", list});
  ASSERT_EQ(imported.end.status, 0) << imported.err;

  auto host = StartHost();
  ASSERT_TRUE(host);
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

// The spam folder is made at the first spam, not at the start; deleted while the host
// runs, it is made again at the next spam (it stopped every move until a restart);
// replaced by a file, the spam stays in the Inbox, said once, until it can be moved.
TEST_F(HostEndToEndTest, TheSpamFolderIsMadeAtTheFirstSpamAndAgainAfterItWasDeleted) {
  const fs::path& maildir = maildir_;
  ASSERT_EQ(Quorvel({"profile", "add", "home", "--maildir", maildir.string()}).end.status, 0);
  ASSERT_EQ(Quorvel({"register"}).end.status, 0);
  const std::string list = (fs::path(home_.root()) / "blocked.txt").string();
  Spit(list, "Offers\tblocked.example\r\n");
  ASSERT_EQ(Quorvel({"list", "black", "import", list}).end.status, 0);
  auto host = StartHost();
  ASSERT_TRUE(host);
  EXPECT_FALSE(fs::exists(maildir / ".Spam")) << "made before anything went into it";

  int delivered = 0;
  auto deliverSpam = [&] {
    const std::string name = "17000001" + std::to_string(10 + ++delivered) + ".9.host";
    std::string text = kFromBlocked;
    text.replace(text.find("<invoice@"), 9, "<invoice" + std::to_string(delivered) + "@");
    Spit(maildir / "tmp" / name, text);
    fs::rename(maildir / "tmp" / name, maildir / "new" / name);
  };
  auto count = [&](const fs::path& folder) {
    std::size_t n = 0;
    for (const char* sub : {"cur", "new"}) {
      std::error_code ec;
      for (fs::directory_iterator it(folder / sub, ec), end; !ec && it != end; ++it) ++n;
    }
    return n;
  };
  deliverSpam();
  ASSERT_TRUE(WaitUntil([&] { return count(maildir / ".Spam") == 1; }, 30s)) << host->Errors();

  fs::remove_all(maildir / ".Spam");
  deliverSpam();
  EXPECT_TRUE(WaitUntil([&] { return count(maildir / ".Spam") == 1; }, 30s)) << host->Errors();
  EXPECT_TRUE(fs::exists(maildir / ".Spam/maildirfolder"));

  fs::remove_all(maildir / ".Spam");  // the two spam messages in it go with it
  Spit(maildir / ".Spam", "not a folder\n");
  deliverSpam();
  deliverSpam();
  // One good message at the start, and four spam messages.
  auto judged = [&] {
    ProgramRun status = Quorvel({"status", "--json"});
    return status.end.status == 0 ? nlohmann::json::parse(status.out).value("judged", 0) : 0;
  };
  ASSERT_TRUE(WaitUntil([&] { return judged() == 5; }, 30s)) << host->Errors();
  EXPECT_NE(host->Errors().find("cannot be found or made"), std::string::npos) << host->Errors();
  fs::remove(maildir / ".Spam");
  deliverSpam();
  // The next spam is moved; the fourth may go with it when its move came after the file
  // went. The third stays in the Inbox, and nothing else is lost.
  EXPECT_TRUE(WaitUntil([&] { return count(maildir / ".Spam") >= 1; }, 30s)) << host->Errors();
  EXPECT_LE(count(maildir / ".Spam"), 2u);
  EXPECT_EQ(MessageFiles(maildir).size(), 2u + 3u);

  ASSERT_TRUE(host->Signal(SIGTERM));
  ASSERT_TRUE(host->Wait(30s).has_value()) << host->Errors();
  const std::string errors = host->Errors();
  EXPECT_EQ(errors.find("cannot be found or made"), errors.rfind("cannot be found or made"))
      << "said more than once: " << errors;
}

}  // namespace
}  // namespace quorvel::app
