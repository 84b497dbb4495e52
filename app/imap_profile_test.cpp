// IMAP profiles through the real quorvel program, in a temporary home: `profile add
// --imap` and its credentials file, the errors of `run` for a wrong password, an
// untrusted certificate and an unreachable server, and a host on an IMAP profile
// against a Dovecot on loopback that moves delivered spam into the spam folder,
// leaves good mail alone, judges at its next start the mail that came while it was
// down, and keeps working when its connection drops.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "mapi/imap/test_dovecot.h"
#include "testing/child_process.h"
#include "testing/fault_proxy.h"
#include "testing/file_bytes.h"
#include "testing/temporary_home.h"

namespace quorvel::app {
namespace {

namespace fs = std::filesystem;
using mapi::imap::ImapConnection;
using mapi::imap::testing::Direct;
using mapi::imap::testing::Mail;
using mapi::imap::testing::Messages;
using mapi::imap::testing::WaitFor;
using quorvel::testing::ChildProcess;
using quorvel::testing::DovecotServer;
using quorvel::testing::RunProgram;
using quorvel::testing::TemporaryHome;
using ::testing::HasSubstr;

using quorvel::testing::Slurp;

struct Ended {
  int status = -1;  // -1 when a signal ended it (or it did not end)
  std::string out;
  std::string err;
};

// A throwaway user that runs the quorvel program.
class Home {
 public:
  std::string root() const { return home_.root(); }
  fs::path Credentials(const std::string& profile) const {
    return fs::path(home_.ConfigHome()) / "Veltmark/credentials" / profile;
  }
  std::unique_ptr<ChildProcess> Start(const std::vector<std::string>& args) {
    std::string error;
    auto child = ChildProcess::Start(Argv(args), home_.Environment(), {}, &error);
    EXPECT_TRUE(child) << error;
    return child;
  }
  Ended Run(const std::vector<std::string>& args, const std::string& input = "") {
    quorvel::testing::ProgramRun run = RunProgram(Argv(args), home_.Environment(), input);
    return {run.end.status, run.out, run.err};
  }
  // Stops a host with SIGTERM and says how it ended.
  static Ended Stop(ChildProcess& host) {
    host.Signal(SIGTERM);
    auto end = host.Wait(std::chrono::seconds(30));
    return {end ? end->status : -1, host.Output(), host.Errors()};
  }

 private:
  static std::vector<std::string> Argv(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {QUORVEL_PROGRAM};
    argv.insert(argv.end(), args.begin(), args.end());
    return argv;
  }
  TemporaryHome home_;
};

std::string Url(const std::string& user, std::uint16_t port) {
  return "imaps://" + user + "@127.0.0.1:" + std::to_string(port);
}

TEST(ImapProfileTest, AddKeepsThePasswordInAPrivateCredentialsFile) {
  Home home;
  const std::string url = "imaps://me@imap.example.org";
  struct Refused {
    std::vector<std::string> args;
    std::string input;
    int status;
    const char* says;
  } refused[] = {
      {{"--imap", "http://me@x.org"}, "pw\n", 1, "is not an IMAP address"},
      {{"--imap", "imaps://x.org"}, "pw\n", 1, "the user name is missing"},
      {{"--imap", url, "--maildir", "."}, "pw\n", 2, "either --maildir DIR or --imap URL"},
      {{"--maildir", ".", "--password-command", "echo x"}, "", 2, "are for --imap profiles"},
      {{"--imap", url, "--ca-file", "/nonexistent.pem"}, "pw\n", 1, "is not a readable file"},
      {{"--imap", url}, "", 1, "no password given"},
      {{"--imap", url}, "\n", 1, "no password given"},
  };
  for (const Refused& r : refused) {
    std::vector<std::string> args = {"profile", "add", "mail"};
    args.insert(args.end(), r.args.begin(), r.args.end());
    const Ended end = home.Run(args, r.input);
    EXPECT_EQ(end.status, r.status) << r.says;
    EXPECT_THAT(end.err, HasSubstr(r.says));
    EXPECT_FALSE(fs::exists(home.Credentials("mail"))) << r.says;
  }
  EXPECT_EQ(home.Run({"profile", "list"}).out, "");

  Ended end = home.Run({"profile", "add", "mail", "--imap", url, "--no-check"}, "first secret\n");
  ASSERT_EQ(end.status, 0) << end.err;
  EXPECT_THAT(end.out, HasSubstr(home.Credentials("mail").string()));
  EXPECT_EQ(Slurp(home.Credentials("mail")), "first secret\n");
  EXPECT_EQ(fs::status(home.Credentials("mail")).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
  // The account's user is the profile's address when it is one.
  end = home.Run({"profile", "add", "work", "--imap", "imap://me%40work.example@10.0.0.1:1143",
                  "--password-command", "echo pw", "--no-check"});
  ASSERT_EQ(end.status, 0) << end.err;
  EXPECT_FALSE(fs::exists(home.Credentials("work")));
  EXPECT_EQ(home.Run({"profile", "list"}).out,
            "* mail\timaps://me@imap.example.org\n"
            "  work\timap://me%40work.example@10.0.0.1:1143\tme@work.example\n");

  // A second profile of the same name leaves the first one's password alone.
  end = home.Run({"profile", "add", "MAIL", "--imap", url}, "other\n");
  EXPECT_EQ(end.status, 1);
  EXPECT_EQ(Slurp(home.Credentials("mail")), "first secret\n");

  // Removing the profile removes its password.
  ASSERT_EQ(home.Run({"profile", "remove", "Mail"}).status, 0);
  EXPECT_FALSE(fs::exists(home.Credentials("mail")));

  // A credentials file the user wrote is used as it is, unless others may read it.
  fs::create_directories(home.Credentials("own").parent_path());
  std::ofstream(home.Credentials("own")) << "written by hand\n";
  fs::permissions(home.Credentials("own"), fs::perms::owner_read | fs::perms::group_read);
  end = home.Run({"profile", "add", "own", "--imap", url}, "typed\n");
  EXPECT_EQ(end.status, 1);
  EXPECT_THAT(end.err, HasSubstr("chmod 600"));
  fs::permissions(home.Credentials("own"), fs::perms::owner_read);
  end = home.Run({"profile", "add", "own", "--imap", url, "--no-check"}, "");
  ASSERT_EQ(end.status, 0) << end.err;
  EXPECT_EQ(Slurp(home.Credentials("own")), "written by hand\n");
}

class ImapHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QUORVEL_NEED_DOVECOT(server_, "");
    user_ = server_->AddUser();
    direct_ = Direct(*server_, user_);
    ASSERT_TRUE(direct_);
    ASSERT_EQ(home_.Run({"register"}).status, 0);
  }

  // Adds the IMAP profile `name` for the test's user.
  void AddProfile(const std::string& name, std::uint16_t port, std::vector<std::string> extra = {},
                  const std::string& password = "") {
    // Not tried here: the tests try what `run` makes of each profile.
    std::vector<std::string> args = {
        "profile",         "add",       name, "--imap", Url(user_, port), "--address",
        "me@home.example", "--no-check"};
    args.insert(args.end(), extra.begin(), extra.end());
    const Ended end = home_.Run(args, (password.empty() ? server_->password() : password) + "\n");
    ASSERT_EQ(end.status, 0) << end.err;
  }

  // The sender lists that tell spam from good mail here. They are imported before the
  // profile exists, by the program on its own.
  void ImportLists() {
    for (const auto& [list, address] :
         {std::pair{"black", "spammer@bad.example"}, std::pair{"white", "friend@good.example"}}) {
      const fs::path file = fs::path(home_.root()) / (std::string(list) + ".txt");
      std::ofstream(file) << address << "\r\n";
      const Ended end = home_.Run({"list", list, "import", file.string()});
      ASSERT_EQ(end.status, 0) << end.err;
    }
  }

  void Deliver(const std::string& subject, const std::string& from) {
    mapi::imap::ImapError error;
    ASSERT_TRUE(direct_->Append("INBOX", Mail(subject, from), {}, &error)) << error.text;
  }

  // The subjects in a mailbox, sorted.
  std::vector<std::string> Subjects(const std::string& mailbox) {
    std::vector<std::string> subjects;
    for (const auto& m : Messages(*direct_, mailbox)) {
      std::size_t at = m.content.find("Subject: ");
      if (at == std::string::npos) continue;
      at += 9;
      subjects.push_back(m.content.substr(at, m.content.find('\r', at) - at));
    }
    std::sort(subjects.begin(), subjects.end());
    return subjects;
  }

  // Waits until the spam folder holds exactly `spam` and the Inbox exactly `good`.
  bool Sorted(const std::vector<std::string>& spam, const std::vector<std::string>& good) {
    if (WaitFor([&] { return Subjects("Junk") == spam && Subjects("INBOX") == good; }, 30)) {
      return true;
    }
    ADD_FAILURE() << "spam folder: " << ::testing::PrintToString(Subjects("Junk"))
                  << "; Inbox: " << ::testing::PrintToString(Subjects("INBOX"));
    return false;
  }

  DovecotServer* server_ = nullptr;
  std::string user_;
  std::unique_ptr<ImapConnection> direct_;
  Home home_;
};

TEST_F(ImapHostTest, HostMovesSpamThatArrivesAndSpamThatCameWhileItWasDown) {
  ImportLists();
  AddProfile("box", server_->tlsPort(), {"--ca-file", server_->caFile()});
  // With no host running, a command that needs nothing of the store runs without one.
  const fs::path exported = fs::path(home_.root()) / "black.out";
  Ended end = home_.Run({"list", "black", "export", exported.string()});
  ASSERT_EQ(end.status, 0) << end.err;
  EXPECT_THAT(Slurp(exported), HasSubstr("spammer@bad.example"));

  // Mail delivered before any host ran is judged at the first start.
  Deliver("early-spam", "spammer@bad.example");
  Deliver("early-good", "friend@good.example");
  auto host = home_.Start({"run"});
  ASSERT_TRUE(Sorted({"early-spam"}, {"early-good"})) << host->Errors();
  ASSERT_TRUE(WaitFor([&] { return home_.Run({"status"}).status == 0; }, 30)) << host->Errors();

  // Mail delivered while it runs is noticed (IDLE) and judged.
  Deliver("live-spam", "spammer@bad.example");
  Deliver("live-good", "friend@good.example");
  ASSERT_TRUE(Sorted({"early-spam", "live-spam"}, {"early-good", "live-good"})) << host->Errors();
  end = home_.Run({"status", "--json"});
  ASSERT_EQ(end.status, 0) << end.err;
  const nlohmann::json status = nlohmann::json::parse(end.out);
  EXPECT_EQ(status["profile"], "box");
  EXPECT_EQ(status["ready"], true);

  end = Home::Stop(*host);
  EXPECT_EQ(end.status, 0) << end.err;

  // Spam delivered while no host runs is moved at the next start.
  Deliver("late-spam", "spammer@bad.example");
  host = home_.Start({"run"});
  EXPECT_TRUE(Sorted({"early-spam", "late-spam", "live-spam"}, {"early-good", "live-good"}))
      << host->Errors();
  EXPECT_EQ(Home::Stop(*host).status, 0);
}

// The listings name IMAP messages by folder, UIDVALIDITY and UID, the server's own.
TEST_F(ImapHostTest, MessagesAreListedByTheirUidsInTheFolder) {
  ImportLists();  // the mail is good: the add-in's start-up scan leaves it in the Inbox
  AddProfile("box", server_->tlsPort(), {"--ca-file", server_->caFile()});
  Deliver("first", "friend@good.example");
  Deliver("second", "friend@good.example");
  std::vector<std::string> expected;
  for (const auto& m : Messages(*direct_, "INBOX")) {
    expected.push_back("Inbox/" + std::to_string(direct_->selected()->uidValidity) + "." +
                       std::to_string(m.uid));
  }
  const Ended end = home_.Run({"messages", "--json"});
  ASSERT_EQ(end.status, 0) << end.err;
  std::vector<std::string> names;
  std::istringstream lines(end.out);
  for (std::string line; std::getline(lines, line);) {
    names.push_back(nlohmann::json::parse(line)["name"].get<std::string>());
  }
  EXPECT_EQ(names, expected);
  const Ended folders = home_.Run({"folders"});
  ASSERT_EQ(folders.status, 0) << folders.err;
  EXPECT_THAT(folders.out, HasSubstr("Inbox\t2\t2\tinbox\n"));
  Deliver("offer", "spammer@bad.example");
  ASSERT_EQ(home_.Run({"run", "--once"}).status, 0);  // moves it into the spam folder
  // A subfolder's counts are its own, not the hierarchy's (which the server leaves out).
  EXPECT_THAT(home_.Run({"folders"}).out, HasSubstr("Inbox/Junk\t1\t"));
}

// Check Folder and Test Message on an IMAP profile: read mail in the Inbox (which the
// start-up scan leaves alone) is judged by the check, its spam moved; a test names a
// message by folder and UID and moves nothing.
TEST_F(ImapHostTest, CheckAndTestWorkOnAnImapFolder) {
  ImportLists();
  AddProfile("box", server_->tlsPort(), {"--ca-file", server_->caFile()});
  mapi::imap::ImapError error;
  for (const auto& [subject, from] : {std::pair{"read-spam", "spammer@bad.example"},
                                      std::pair{"read-good", "friend@good.example"}}) {
    ASSERT_TRUE(direct_->Append("INBOX", Mail(subject, from), {"\\Seen"}, &error)) << error.text;
  }
  std::string spamName;
  for (const auto& m : Messages(*direct_, "INBOX")) {
    if (m.content.find("read-spam") != std::string::npos) {
      spamName = "Inbox/" + std::to_string(m.uid);
    }
  }
  Ended end = home_.Run({"test", "--json", spamName});
  ASSERT_EQ(end.status, 0) << end.err;
  EXPECT_EQ(nlohmann::json::parse(end.out)["verdict"], "spam");
  EXPECT_EQ(Subjects("INBOX"), (std::vector<std::string>{"read-good", "read-spam"}));

  end = home_.Run({"check", "--yes"});
  ASSERT_EQ(end.status, 0) << end.err;
  EXPECT_THAT(end.err, HasSubstr("Check done: 2 messages checked, 1 spam, 1 moved"));
  EXPECT_EQ(Subjects("INBOX"), std::vector<std::string>{"read-good"});
  EXPECT_EQ(Subjects("Junk"), std::vector<std::string>{"read-spam"});
}

// The host's connections pass through a proxy that cuts them: the host keeps running,
// connects again and still moves the spam that arrived meanwhile.
TEST_F(ImapHostTest, HostKeepsWorkingWhenItsConnectionDrops) {
  quorvel::testing::FaultProxy proxy(server_->tlsPort());
  ImportLists();
  AddProfile("box", proxy.port(), {"--ca-file", server_->caFile()});
  auto host = home_.Start({"run"});
  ASSERT_TRUE(WaitFor([&] { return home_.Run({"status"}).status == 0; }, 30)) << host->Errors();
  std::vector<std::string> spam;
  for (const char* subject : {"spam-1", "spam-2"}) {
    // The next bytes from the server (the new mail's notice) close the connection.
    // Each round starts once the one before is over (its spam moved): armed at once,
    // the fault cut the reconnection or the move of the round before instead.
    proxy.Arm({quorvel::testing::FaultProxy::Action::kCloseAfterServerBytes, 0, "", ""});
    Deliver(subject, "spammer@bad.example");
    ASSERT_TRUE(WaitFor([&] { return proxy.Struck(); }, 30));
    proxy.Disarm();
    spam.push_back(subject);
    ASSERT_TRUE(Sorted(spam, {})) << host->Errors();
  }
  EXPECT_TRUE(WaitFor([&] { return home_.Run({"status"}).status == 0; }, 30));
  // Each loss and each return was logged, with the reason.
  EXPECT_TRUE(WaitFor([&] { return host->Errors().find("is back") != std::string::npos; }, 30));
  const Ended end = Home::Stop(*host);
  EXPECT_EQ(end.status, 0);
  EXPECT_THAT(end.err, HasSubstr("the connection to " + user_ + "@127.0.0.1 was lost: "));
  EXPECT_THAT(end.err, HasSubstr("the connection to " + user_ + "@127.0.0.1 is back"));
}

// The spam mailbox deleted by another client while the host runs stopped every move
// until a restart. The next spam finds it gone, makes it again (subscribed) and moves
// into it.
TEST_F(ImapHostTest, ASpamMailboxDeletedWhileTheHostRunsIsMadeAgain) {
  ImportLists();
  AddProfile("box", server_->tlsPort(), {"--ca-file", server_->caFile()});
  auto host = home_.Start({"run"});
  ASSERT_TRUE(WaitFor([&] { return home_.Run({"status"}).status == 0; }, 30)) << host->Errors();
  Deliver("spam-1", "spammer@bad.example");
  ASSERT_TRUE(Sorted({"spam-1"}, {})) << host->Errors();
  mapi::imap::ImapError error;
  ASSERT_TRUE(direct_->Select("INBOX", true, &error, true));  // not the one to delete
  ASSERT_TRUE(direct_->Delete("Junk", &error)) << error.text;
  Deliver("spam-2", "spammer@bad.example");
  // (The spam mailbox is looked at only once it can be there again.)
  ASSERT_TRUE(WaitFor([&] { return Subjects("INBOX").empty(); }, 30)) << host->Errors();
  EXPECT_TRUE(Sorted({"spam-2"}, {})) << host->Errors();
  EXPECT_EQ(Home::Stop(*host).status, 0);
}

// A server killed in the middle of a move left the spam's copy in the spam folder and
// the original in the Inbox. The next start judges the original again and finishes
// the move: one copy in the spam folder, none in the Inbox.
TEST_F(ImapHostTest, AMoveLeftHalfDoneIsFinishedAtTheNextStart) {
  ImportLists();
  AddProfile("box", server_->tlsPort(), {"--ca-file", server_->caFile()});
  Deliver("good", "friend@good.example");
  Deliver("half-moved", "spammer@bad.example");
  mapi::imap::ImapError error;
  ASSERT_TRUE(direct_->Select("INBOX", false, &error, true)) << error.text;
  std::optional<std::uint32_t> copied;
  ASSERT_TRUE(direct_->Copy(2, "Junk", &copied, &error)) << error.text;
  const Ended end = home_.Run({"run", "--once"});
  ASSERT_EQ(end.status, 0) << end.err;
  EXPECT_TRUE(Sorted({"half-moved"}, {"good"})) << end.err;
  EXPECT_THAT(end.err, HasSubstr("was left half done"));
}

TEST_F(ImapHostTest, WrongPasswordAndUntrustedCertificateAreSaidClearly) {
  AddProfile("wrong", server_->tlsPort(), {"--ca-file", server_->caFile()}, "not-the-password");
  Ended end = home_.Run({"--profile", "wrong", "run"});
  EXPECT_EQ(end.status, 5);  // the unit does not restart on it
  EXPECT_THAT(end.err, HasSubstr("refused the login of \"" + user_ + "\""));

  // The test server's certificate is its own: refused unless trusted or accepted.
  AddProfile("untrusted", server_->tlsPort());
  end = home_.Run({"--profile", "untrusted", "run", "--once"});
  EXPECT_EQ(end.status, 5);
  EXPECT_THAT(end.err, HasSubstr("does not verify"));
  EXPECT_THAT(end.err, HasSubstr("--ca-file"));
  AddProfile("accepted", server_->tlsPort(), {"--accept-untrusted-certificate"});
  end = home_.Run({"--profile", "accepted", "run", "--once"});
  EXPECT_EQ(end.status, 0) << end.err;

  // A password command that fails is said too.
  ASSERT_EQ(home_
                .Run({"profile", "add", "cmd", "--imap", Url(user_, server_->tlsPort()),
                      "--ca-file", server_->caFile(), "--password-command", "exit 4", "--no-check"})
                .status,
            0);
  end = home_.Run({"--profile", "cmd", "run", "--once"});
  EXPECT_EQ(end.status, 5);  // no password: trying again by itself does not help
  EXPECT_THAT(end.err, HasSubstr("exit status 4"));
}

// `profile add` logs in once: a wrong password, an untrusted certificate or a server
// that is not there is said at once and adds nothing (no password file left behind);
// --no-check adds without trying. The first profile registers the add-in.
TEST_F(ImapHostTest, ProfileAddTriesTheAccountOnce) {
  ASSERT_EQ(home_.Run({"unregister"}).status, 0);
  struct Case {
    const char* name;
    std::uint16_t port;
    bool trusted;
    std::string password;
    const char* says;
  } refused[] = {
      {"wrong", server_->tlsPort(), true, "not-the-password", "refused the login"},
      {"untrusted", server_->tlsPort(), false, server_->password(), "does not verify"},
      {"away", quorvel::testing::FreeLoopbackPort(), true, server_->password(), "cannot connect"},
  };
  for (const Case& c : refused) {
    std::vector<std::string> args = {"profile", "add", c.name, "--imap", Url(user_, c.port)};
    if (c.trusted) args.insert(args.end(), {"--ca-file", server_->caFile()});
    Ended end = home_.Run(args, c.password + "\n");
    EXPECT_EQ(end.status, 1) << c.name;
    EXPECT_THAT(end.err, HasSubstr(c.says));
    EXPECT_THAT(end.err, HasSubstr("--no-check"));
    EXPECT_FALSE(fs::exists(home_.Credentials(c.name))) << c.name;
  }
  EXPECT_EQ(home_.Run({"profile", "list"}).out, "");
  Ended end = home_.Run({"profile", "add", "box", "--imap", Url(user_, server_->tlsPort()),
                         "--ca-file", server_->caFile()},
                        server_->password() + "\n");
  ASSERT_EQ(end.status, 0) << end.err;
  EXPECT_THAT(end.out, HasSubstr("Registered the add-in"));
  end = home_.Run({"profile", "add", "later", "--imap", Url(user_, 1), "--no-check"}, "pw\n");
  ASSERT_EQ(end.status, 0) << end.err;
  EXPECT_THAT(end.out, ::testing::Not(HasSubstr("Registered")));
}

// SIGTERM stops a host that is still opening its store, whatever holds it up: here a
// password command that does not return.
TEST_F(ImapHostTest, SigtermStopsAHostWhosePasswordCommandHangs) {
  ASSERT_EQ(
      home_
          .Run({"profile", "add", "slow", "--imap", Url(user_, server_->tlsPort()), "--ca-file",
                server_->caFile(), "--password-command", "sleep 20", "--no-check"})
          .status,
      0);
  auto host = home_.Start({"--profile", "slow", "run"});
  ASSERT_TRUE(WaitFor(
      [&] {
        Ended status = home_.Run({"--profile", "slow", "status"});
        return status.out.find("starting") != std::string::npos;
      },
      30))
      << host->Errors();
  const auto start = std::chrono::steady_clock::now();
  Ended end = Home::Stop(*host);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(end.status, 0);
  EXPECT_THAT(end.err, HasSubstr("stopped (SIGTERM) before it was ready"));
}

// SIGTERM while the worker waits on a server gone silent (the network gone, the
// server stopped without closing): the stop cuts the connections instead of waiting
// out the answer time-out and the reconnection, and what the host learned is saved.
TEST_F(ImapHostTest, SigtermEndsAHostWhoseServerWentSilentWhileItWorks) {
  quorvel::testing::FaultProxy proxy(server_->tlsPort());
  ImportLists();
  AddProfile("box", proxy.port(), {"--ca-file", server_->caFile()});
  auto learnedGood = [&] {
    const Ended stats = home_.Run({"mailbase", "stats"});
    const std::size_t at = stats.out.find("Learned good messages: ");
    return at == std::string::npos ? -1L : std::stol(stats.out.substr(at + 23));
  };
  const long before = learnedGood();
  auto host = home_.Start({"run"});
  ASSERT_TRUE(WaitFor([&] { return home_.Run({"status"}).status == 0; }, 30)) << host->Errors();
  // The White List's new mail is learned as good: saved when the host stops.
  for (int i = 0; i < 3; ++i) Deliver("good-" + std::to_string(i), "friend@good.example");
  ASSERT_TRUE(WaitFor(
      [&] {
        const Ended status = home_.Run({"status", "--json"});
        return status.status == 0 && nlohmann::json::parse(status.out)["judged"] == 3;
      },
      30))
      << host->Errors();
  // Spam enough to keep the worker moving when the server goes silent.
  constexpr std::size_t kSpam = 200;
  for (std::size_t i = 0; i < kSpam; ++i)
    Deliver("spam-" + std::to_string(i), "spammer@bad.example");
  ASSERT_TRUE(WaitFor([&] { return !Messages(*direct_, "Junk").empty(); }, 30)) << host->Errors();
  proxy.Freeze(true);
  ASSERT_LT(Messages(*direct_, "Junk").size(), kSpam) << "the work was done before the freeze";

  ASSERT_TRUE(host->Signal(SIGTERM));
  const auto start = std::chrono::steady_clock::now();
  const auto end = host->Wait(std::chrono::seconds(90));
  const auto took = std::chrono::steady_clock::now() - start;
  ASSERT_TRUE(end) << host->Errors();
  EXPECT_LT(took, std::chrono::seconds(5)) << host->Errors();
  EXPECT_EQ(end->status, 0) << host->Errors();
  EXPECT_THAT(host->Errors(), HasSubstr("stopped (SIGTERM)"));
  EXPECT_EQ(learnedGood(), before + 3);
  // No message was lost: every spam is in one of the two mailboxes.
  proxy.Freeze(false);
  EXPECT_EQ(Messages(*direct_, "Junk").size() + Messages(*direct_, "INBOX").size(), kSpam + 3);
}

// A server that cannot be reached at the start is tried again until the host is
// stopped; `run --once` gives up at once.
TEST_F(ImapHostTest, UnreachableServerIsTriedAgain) {
  AddProfile("away", quorvel::testing::FreeLoopbackPort(), {"--ca-file", server_->caFile()});
  Ended end = home_.Run({"--profile", "away", "run", "--once"});
  EXPECT_EQ(end.status, 1);
  EXPECT_THAT(end.err, HasSubstr("cannot connect to the IMAP server 127.0.0.1:"));
  auto host = home_.Start({"--profile", "away", "run"});
  ASSERT_TRUE(
      WaitFor([&] { return host->Errors().find("trying again in 2 s") != std::string::npos; }, 30))
      << host->Errors();
  end = Home::Stop(*host);
  EXPECT_EQ(end.status, 0);
  EXPECT_THAT(end.err, HasSubstr("stopped (SIGTERM)"));
}

}  // namespace
}  // namespace quorvel::app
