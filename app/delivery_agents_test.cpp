// quorvel filter behind the delivery programs it is made for, each started by the test
// as the user running it (as "nobody" where the program refuses root): procmail with
// a ":0fw" recipe, and Dovecot's LDA with a Sieve script that uses vnd.dovecot.filter.
// Both clear the environment the way they do in service: the program finds its files
// through QUORVEL_CONFIG and QUORVEL_DATA. Spam must land in Junk, good mail in the
// Inbox, each once and byte for byte as it came but for the added fields.
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "testing/child_process.h"
#include "testing/decided_mail.h"
#include "testing/file_bytes.h"
#include "testing/temporary_home.h"

namespace quorvel::app {
namespace {
namespace fs = std::filesystem;
using quorvel::testing::EnvironmentChanges;
using quorvel::testing::ProgramRun;
using quorvel::testing::RunProgram;
using quorvel::testing::Slurp;
using quorvel::testing::Spit;

constexpr const char* kProcmail = "/usr/bin/procmail";
constexpr const char* kLda = "/usr/lib/dovecot/dovecot-lda";
constexpr const char* kExtprograms =
    "/usr/lib/dovecot/modules/sieve/lib90_sieve_extprograms_plugin.so";

struct Mail {
  const char* name;
  std::string text;
  bool spam;
  std::string fields;  // what the filter adds
};

// Decided by the rules alone (an anti-virus report, a meeting request) or, with the
// shipped mail base, by the Bayesian filter; in both line-end conventions.
std::vector<Mail> Mails() {
  using namespace quorvel::testing;
  return {
      {"virus report", kVirusReport, true,
       "X-Quorvel-Verdict: spam\r\nX-Quorvel-Reason: Report from anti-virus software\r\n"
       "X-Spam-Flag: YES\r\n"},
      {"invitation", kInvitation, false,
       "X-Quorvel-Verdict: good\r\nX-Quorvel-Reason: Selected item is not e-mail item.\r\n"},
      {"offer", kOffer, true,
       "X-Quorvel-Verdict: spam\nX-Quorvel-Reason: Bayesian Filter\nX-Quorvel-Score: 1.00\n"
       "X-Spam-Flag: YES\n"},
      {"reply", kReply, false,
       "X-Quorvel-Verdict: good\nX-Quorvel-Reason: Bayesian Filter\nX-Quorvel-Score: 0.00\n"},
  };
}

std::string LfOnly(std::string text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) out += text[i];
  }
  return out;
}

// The messages of a Maildir folder's new/, by content.
std::vector<std::string> Delivered(const fs::path& folder) {
  std::vector<std::string> out;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder / "new", ec)) {
    out.push_back(Slurp(entry.path()));
  }
  return out;
}

class DeliveryAgentsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = home_.root();
    // The shipped mail base is copied in by a first run, as the user's first command would.
    const ProgramRun seed = RunProgram({QUORVEL_PROGRAM, "mailbase", "stats"}, home_.Environment());
    ASSERT_EQ(seed.end.status, 0) << seed.err;
  }

  // The environment a delivery program leaves: no HOME, no XDG folders.
  EnvironmentChanges Cleared() const {
    EnvironmentChanges env = home_.Environment();
    for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR"}) {
      env[name] = "";
    }
    return env;
  }
  std::string ConfigFolder() const { return home_.ConfigHome() + "/Veltmark/registry"; }

  // Each message in its folder, once, as the filter wrote it; `extraEnd` is what the
  // delivery program itself may add at the end of a message (procmail ends every
  // message with an empty line), and `stored` how it stores line ends (Dovecot keeps
  // LF only).
  void ExpectFiled(
      const fs::path& maildir, const std::string& extraEnd,
      std::string (*stored)(std::string) = [](std::string m) { return m; }) {
    std::vector<std::string> inbox = Delivered(maildir), junk = Delivered(maildir / ".Junk");
    std::size_t spam = 0, good = 0;
    for (const Mail& mail : Mails()) {
      SCOPED_TRACE(mail.name);
      const std::string out = stored(mail.fields + mail.text);
      std::vector<std::string>& folder = mail.spam ? junk : inbox;
      const auto count = std::count_if(folder.begin(), folder.end(), [&](const std::string& m) {
        return m == out || m == out + extraEnd;
      });
      EXPECT_EQ(count, 1);
      (mail.spam ? spam : good)++;
    }
    EXPECT_EQ(junk.size(), spam);
    EXPECT_EQ(inbox.size(), good);
  }

  quorvel::testing::TemporaryHome home_;
  fs::path root_;
};

TEST_F(DeliveryAgentsTest, ProcmailFiltersAndFilesSpamIntoJunk) {
  if (::access(kProcmail, X_OK) != 0) GTEST_SKIP() << "procmail is not installed";
  const fs::path maildir = root_ / "Maildir";
  fs::create_directories(maildir);  // procmail files relative to the folder it cannot enter else
  const std::string rc = (root_ / "procmailrc").string();
  Spit(rc, "SHELL=/bin/sh\nMAILDIR=" + maildir.string() + "\nDEFAULT=" + maildir.string() +
               "/\nLOGFILE=" + (root_ / "procmail.log").string() + "\nQUORVEL_CONFIG=" +
               ConfigFolder() + "\nQUORVEL_DATA=" + home_.DataFolder() + "\n:0fw\n| " +
               QUORVEL_PROGRAM + " filter\n:0\n* ^X-Quorvel-Verdict: spam\n.Junk/\n");
  for (const Mail& mail : Mails()) {
    const ProgramRun run = RunProgram({kProcmail, "-m", rc}, Cleared(), mail.text);
    ASSERT_EQ(run.end.status, 0) << mail.name << ": " << run.err << Slurp(root_ / "procmail.log");
  }
  ExpectFiled(maildir, "\n");

  // A filter that fails (settings that do not load) leaves procmail the message as it
  // came, and procmail delivers that.
  Spit(home_.RegistryFile(), "damaged\n");
  const Mail mail = Mails()[0];
  ASSERT_EQ(RunProgram({kProcmail, "-m", rc}, Cleared(), mail.text).end.status, 0);
  const std::vector<std::string> inbox = Delivered(maildir);
  EXPECT_EQ(std::count(inbox.begin(), inbox.end(), mail.text), 1) << Slurp(root_ / "procmail.log");
}

TEST_F(DeliveryAgentsTest, DovecotSieveFiltersAndFilesSpamIntoJunk) {
  if (::access(kLda, X_OK) != 0) GTEST_SKIP() << "Dovecot's LDA is not installed (" << kLda << ")";
  if (::access(kExtprograms, R_OK) != 0) {
    GTEST_SKIP() << "Pigeonhole Sieve's extprograms plugin is not installed (dovecot-sieve)";
  }
  const fs::path lda = root_ / "lda";
  const fs::path maildir = lda / "Maildir";
  fs::create_directories(lda / "bin");
  Spit(lda / "dovecot.conf",
       "base_dir = " + (lda / "run").string() + "\nstate_dir = " + (lda / "state").string() +
           "\nlog_path = " + (lda / "lda.log").string() +
           "\nmail_location = maildir:" + maildir.string() +
           "\nfirst_valid_uid = 0\nfirst_valid_gid = 0\nssl = no\n"
           "protocol lda {\n  mail_plugins = sieve\n}\n"
           "plugin {\n  sieve = file:" +
           (lda / "sieve").string() + ";active=" + (lda / "active.sieve").string() +
           "\n  sieve_plugins = sieve_extprograms\n  sieve_extensions = +vnd.dovecot.filter\n"
           "  sieve_filter_bin_dir = " +
           (lda / "bin").string() + "\n}\n");
  Spit(lda / "active.sieve",
       "require [\"vnd.dovecot.filter\", \"fileinto\", \"mailbox\"];\n"
       "filter \"quorvel-filter\";\n"
       "if header :is \"X-Quorvel-Verdict\" \"spam\" { fileinto :create \"Junk\"; }\n");
  Spit(lda / "bin/quorvel-filter", "#!/bin/sh\nQUORVEL_CONFIG=" + ConfigFolder() +
                                       " QUORVEL_DATA=" + home_.DataFolder() + " exec " +
                                       QUORVEL_PROGRAM + " filter\n");
  fs::permissions(lda / "bin/quorvel-filter", fs::perms::owner_all | fs::perms::group_read |
                                                  fs::perms::group_exec | fs::perms::others_read |
                                                  fs::perms::others_exec);
  // The LDA refuses to deliver as root: then it and the filter run as "nobody", which
  // must be able to reach the home (the build tree is world-readable already).
  std::vector<std::string> argv = {kLda, "-c", (lda / "dovecot.conf").string(), "-e"};
  std::string user;
  if (::geteuid() == 0) {
    const passwd* nobody = ::getpwnam("nobody");
    if (nobody == nullptr) GTEST_SKIP() << "running as root, and there is no user \"nobody\"";
    user = "nobody";
    const ProgramRun own = RunProgram({"/bin/chown", "-R", "nobody:", root_.string()}, {});
    ASSERT_EQ(own.end.status, 0) << own.err;
    ::chmod(root_.c_str(), 0755);
    argv.insert(argv.begin(), {"/usr/bin/setpriv", "--reuid=nobody",
                               "--regid=" + std::to_string(nobody->pw_gid), "--clear-groups"});
  } else {
    const passwd* me = ::getpwuid(::geteuid());
    ASSERT_NE(me, nullptr);
    user = me->pw_name;
  }
  EnvironmentChanges env = Cleared();
  env["HOME"] = lda.string();
  env["USER"] = user;
  for (const Mail& mail : Mails()) {
    const ProgramRun run = RunProgram(argv, env, mail.text);
    ASSERT_EQ(run.end.status, 0) << mail.name << ": " << run.err << Slurp(lda / "lda.log");
  }
  ExpectFiled(maildir, "", LfOnly);

  // A filter that fails leaves the message as it came, and the script goes on with it.
  Spit(home_.RegistryFile(), "damaged\n");
  const Mail mail = Mails()[0];
  ASSERT_EQ(RunProgram(argv, env, mail.text).end.status, 0) << Slurp(lda / "lda.log");
  const std::vector<std::string> inbox = Delivered(maildir);
  EXPECT_EQ(std::count(inbox.begin(), inbox.end(), LfOnly(mail.text)), 1) << Slurp(lda / "lda.log");
}

// The wrapper for mail servers that deliver through a command (a Postfix pipe): the
// command gets the filtered message, or the original when the filter fails, and its
// status is the wrapper's.
TEST_F(DeliveryAgentsTest, TheDeliverWrapperHandsOnTheFilteredMessageOrElseTheOriginal) {
  const std::string wrapper = std::string(QUORVEL_SOURCE_ROOT) + "/tools/quorvel-deliver";
  const std::string delivered = (root_ / "delivered").string();
  EnvironmentChanges env = Cleared();
  env["QUORVEL"] = QUORVEL_PROGRAM;
  env["QUORVEL_CONFIG"] = ConfigFolder();
  env["QUORVEL_DATA"] = home_.DataFolder();
  const std::vector<std::string> argv = {wrapper, "/bin/sh", "-c", "cat >\"$0\"; exit 7",
                                         delivered};
  for (const Mail& mail : Mails()) {
    const ProgramRun run = RunProgram(argv, env, mail.text);
    EXPECT_EQ(run.end.status, 7) << mail.name << ": " << run.err;
    EXPECT_EQ(Slurp(delivered), mail.fields + mail.text) << mail.name;
  }
  Spit(home_.RegistryFile(), "damaged\n");
  const ProgramRun run = RunProgram(argv, env, Mails()[2].text);
  EXPECT_EQ(run.end.status, 7) << run.err;
  EXPECT_EQ(Slurp(delivered), Mails()[2].text);
}

}  // namespace
}  // namespace quorvel::app
