// quorvel filter as delivery programs run it: a separate process with the message on
// standard input, in a temporary home; then behind real procmail and behind Dovecot's
// LDA with a Sieve filter, each filing spam into a Junk folder.
#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "mapi/mime/input_bounds.h"
#include "testing/child_process.h"
#include "testing/decided_mail.h"
#include "testing/file_bytes.h"
#include "testing/temporary_home.h"

namespace quorvel::app {
namespace {
namespace fs = std::filesystem;
using quorvel::testing::EnvironmentChanges;
using quorvel::testing::kOffer;
using quorvel::testing::kVirusReport;
using quorvel::testing::ProgramRun;
using quorvel::testing::RunProgram;
using quorvel::testing::Slurp;
using quorvel::testing::Spit;

constexpr const char* kVirusFields =
    "X-Quorvel-Verdict: spam\r\n"
    "X-Quorvel-Reason: Report from anti-virus software\r\n"
    "X-Spam-Flag: YES\r\n";

// The invitation with a forged verdict in its header, LF line ends.
const std::string kForgedInvitation = [] {
  std::string text;
  for (const char* c = quorvel::testing::kInvitation; *c != 0; ++c) {
    if (*c != '\r') text += *c;
  }
  return text.insert(text.find("Subject: "), "X-Quorvel-Verdict: spam\n");
}();
constexpr const char* kInvitationFields =
    "X-Quorvel-Verdict: good\n"
    "X-Quorvel-Reason: Selected item is not e-mail item.\n";

// The forged invitation as it must come out: the forged verdict replaced.
std::string InvitationOut() {
  std::string text = kForgedInvitation;
  text.erase(text.find("X-Quorvel-Verdict: spam\n"), 24);
  return kInvitationFields + text;
}

// More header fields than the judging keeps.
std::string FillerFields() {
  std::string fields;
  for (std::size_t i = 0; fields.size() <= mapi::kMaxHeaderBytes; ++i) {
    fields += "X-Filler-" + std::to_string(i) + ": some text to fill the block\n";
  }
  return fields;
}

class FilterCommandTest : public ::testing::Test {
 protected:
  // The home's variables, or (`withoutHome`) none of HOME and XDG at all, the two
  // folders named by QUORVEL_CONFIG and QUORVEL_DATA instead.
  EnvironmentChanges Environment(bool withoutHome = false) const {
    EnvironmentChanges env = home_.Environment();
    if (withoutHome) {
      for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR"}) {
        env[name] = "";
      }
      env["QUORVEL_CONFIG"] = ConfigFolder();
      env["QUORVEL_DATA"] = home_.DataFolder();
    }
    return env;
  }
  std::string ConfigFolder() const { return home_.ConfigHome() + "/Veltmark/registry"; }

  ProgramRun Filter(const std::string& message, std::vector<std::string> args = {},
                    bool withoutHome = false) const {
    args.insert(args.begin(), {QUORVEL_PROGRAM, "filter"});
    return RunProgram(args, Environment(withoutHome), message);
  }
  // A command line run through the shell, for closed streams.
  ProgramRun Shell(const std::string& command, const std::string& input) const {
    return RunProgram({"/bin/sh", "-c", command}, Environment(), input);
  }

  quorvel::testing::TemporaryHome home_;
};

TEST_F(FilterCommandTest, TheVerdictGoesOnTopOfTheMessageInItsOwnLineEnds) {
  ProgramRun run = Filter(kVirusReport);
  EXPECT_EQ(run.end.status, 0) << run.err;
  EXPECT_EQ(run.out, std::string(kVirusFields) + kVirusReport);
  run = Filter(kVirusReport, {"--exit-code"});
  EXPECT_EQ(run.end.status, 1) << run.err;
  EXPECT_EQ(run.out, std::string(kVirusFields) + kVirusReport);

  // The forged "spam" goes; good stays good with --exit-code.
  run = Filter(kForgedInvitation, {"--exit-code"});
  EXPECT_EQ(run.end.status, 0) << run.err;
  EXPECT_EQ(run.out, InvitationOut());

  // The Bayesian filter's verdict carries its score.
  run = Filter(kOffer);
  EXPECT_EQ(run.end.status, 0) << run.err;
  EXPECT_TRUE(
      run.out.starts_with("X-Quorvel-Verdict: spam\nX-Quorvel-Reason: Bayesian Filter\n"
                          "X-Quorvel-Score: 1.00\nX-Spam-Flag: YES\nFrom: "))
      << run.out;
  EXPECT_TRUE(run.out.ends_with(kOffer));
}

// Whatever comes in goes out whole: odd input is judged all the same, a message over
// the bound goes out unchecked, and what cannot go out says so by its status.
TEST_F(FilterCommandTest, OddInputComesOutWholeOrTheStatusSaysItCouldNot) {
  using namespace std::string_literals;
  const struct {
    const char* what;
    std::string in;
  } judged[] = {
      {"no header/body separator", "From: a@b.example\nSubject: no body"},
      {"no header at all", "just a line of text\n"},
      {"NUL bytes", "From: a@b.example\nSubject: n\0l\n\nbody \0 with NUL\n"s},
      {"header block over its bound", "From: a@b.example\n" + FillerFields() + "\nbody\n"},
  };
  for (const auto& c : judged) {
    SCOPED_TRACE(c.what);
    const ProgramRun run = Filter(c.in);
    EXPECT_EQ(run.end.status, 0) << run.err;
    const std::size_t fieldsEnd = run.out.find("\nX-Quorvel-Reason: ");
    ASSERT_NE(fieldsEnd, std::string::npos) << run.out.substr(0, 200);
    EXPECT_TRUE(run.out.ends_with(c.in)) << run.out.substr(0, 200);
  }

  const std::string filler(mapi::kMaxMessageBytes, 'z');
  ProgramRun run = Filter(kForgedInvitation + filler, {"--exit-code"});
  EXPECT_EQ(run.end.status, 0) << run.err;
  const std::string unchecked = "X-Quorvel-Verdict: unchecked\nX-Quorvel-Reason: Larger than " +
                                std::to_string(mapi::kMaxMessageBytes >> 20) + " MiB: not judged\n";
  EXPECT_TRUE(run.out == unchecked + InvitationOut().substr(strlen(kInvitationFields)) + filler);

  run = Filter("");
  EXPECT_EQ(run.end.status, 4);
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err.find("standard input is empty"), std::string::npos) << run.err;

  run = Shell(std::string(QUORVEL_PROGRAM) + " filter <&-", kVirusReport);
  EXPECT_EQ(run.end.status, 3) << run.err;
  EXPECT_EQ(run.out, "");
  run = Shell(std::string(QUORVEL_PROGRAM) + " filter >&-; echo \"status $?\" >&2", kVirusReport);
  EXPECT_NE(run.err.find("status 3"), std::string::npos) << run.err;
  run = Shell(std::string(QUORVEL_PROGRAM) + " filter >/dev/full; echo \"status $?\" >&2",
              kVirusReport);
  EXPECT_NE(run.err.find("status 3"), std::string::npos) << run.err;
}

// Settings, profile or mail base that do not load: the message goes on unchanged,
// forged fields and all, and the status says it was not judged.
TEST_F(FilterCommandTest, WhatCannotBeJudgedPassesUnchangedWithItsOwnStatus) {
  ASSERT_EQ(Filter(kForgedInvitation).end.status, 0);  // seeds the mail base
  ProgramRun run = Filter(kForgedInvitation, {"--profile", "nosuch"});
  EXPECT_EQ(run.end.status, 4);
  EXPECT_EQ(run.out, kForgedInvitation);
  EXPECT_NE(run.err.find("nosuch"), std::string::npos) << run.err;

  Spit(home_.RegistryFile(), "not a registry file\n");
  run = Filter(kForgedInvitation, {"--exit-code"});
  EXPECT_EQ(run.end.status, 4);
  EXPECT_EQ(run.out, kForgedInvitation);
  EXPECT_NE(run.err.find("settings"), std::string::npos) << run.err;
  fs::remove(home_.RegistryFile());
  ASSERT_EQ(Filter(kForgedInvitation).end.status, 0);

  for (const char* name : {"Bayes.raw", "Bayes.db", "Bayes.raw.bak", "Bayes.db.bak"}) {
    Spit(home_.DataFolder() + "/" + name, "damaged");
  }
  run = Filter(kVirusReport, {"--exit-code"});
  EXPECT_EQ(run.end.status, 4);
  EXPECT_EQ(run.out, kVirusReport);
}

// A delivery agent that clears the environment finds the settings through
// QUORVEL_CONFIG and QUORVEL_DATA; a named profile is used as well.
TEST_F(FilterCommandTest, SettingsAndProfilesAreFoundWithoutHome) {
  const std::string list = home_.root() + "/black.txt";
  Spit(list, "deals@offers.example\n");
  ProgramRun run =
      RunProgram({QUORVEL_PROGRAM, "list", "black", "import", list}, Environment(true));
  ASSERT_EQ(run.end.status, 0) << run.err;
  ASSERT_TRUE(fs::exists(ConfigFolder() + "/HKEY_CURRENT_USER.reg"));
  fs::create_directories(home_.root() + "/Maildir/cur");
  run = RunProgram({QUORVEL_PROGRAM, "profile", "add", "home", "--maildir",
                    home_.root() + "/Maildir", "--address", "you@example.net"},
                   Environment(true));
  ASSERT_EQ(run.end.status, 0) << run.err;

  for (const std::vector<std::string>& args :
       {std::vector<std::string>{}, std::vector<std::string>{"--profile", "home"}}) {
    run = Filter(kOffer, args, /*withoutHome=*/true);
    EXPECT_EQ(run.end.status, 0) << run.err;
    EXPECT_TRUE(
        run.out.starts_with("X-Quorvel-Verdict: spam\n"
                            "X-Quorvel-Reason: Sender's address is in Black List\n"
                            "X-Spam-Flag: YES\n"))
        << run.out.substr(0, 300) << run.err;
  }
  // Without them nothing is found in an empty environment: nothing to judge with.
  EnvironmentChanges bare = Environment(true);
  bare["QUORVEL_CONFIG"] = bare["QUORVEL_DATA"] = "";
  run = RunProgram({QUORVEL_PROGRAM, "filter"}, bare, kOffer);
  EXPECT_EQ(run.end.status, 4) << run.err;
  EXPECT_EQ(run.out, kOffer);
}

}  // namespace
}  // namespace quorvel::app
