// The quorvel program run as a separate process, in a temporary home, against
// crafted mail, damaged files and closed or full streams: every run ends with an exit
// status of its own (never a signal) and says what went wrong.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "testing/file_bytes.h"
#include "testing/temporary_folder.h"

namespace quorvel::app {
namespace {
namespace fs = std::filesystem;

struct ProgramRun {
  int status = -1;  // the exit status, or -1 when the program was killed
  int signal = 0;
  std::string out;
  std::string err;
};

enum class Input { kEmpty, kClosed, kText };

using quorvel::testing::Slurp;
using quorvel::testing::Spit;

std::string Repeat(std::string_view unit, std::size_t times) {
  std::string out;
  for (std::size_t i = 0; i < times; ++i) out += unit;
  return out;
}

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(home_.empty()); }

  fs::path DataFolder() const { return home_ / "data/Veltmark/Quorvel"; }
  fs::path RegistryFile() const { return home_ / "config/Veltmark/registry/HKEY_CURRENT_USER.reg"; }
  std::string Message(const std::string& name, const std::string& text) const {
    Spit(home_ / "mail" / name, text);
    return (home_ / "mail" / name).string();
  }

  // Runs quorvel with `args`; standard output goes to `outPath` when given.
  ProgramRun Run(const std::vector<std::string>& args, Input input = Input::kEmpty,
                 const std::string& text = "", const std::string& outPath = "") const {
    const fs::path outFile = home_ / "run.out", errFile = home_ / "run.err",
                   inFile = home_ / "run.in";
    Spit(inFile, text);
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::setenv("HOME", home_.c_str(), 1);
      ::setenv("XDG_DATA_HOME", (home_ / "data").c_str(), 1);
      ::setenv("XDG_CONFIG_HOME", (home_ / "config").c_str(), 1);
      ::unsetenv("XDG_DESKTOP_DIR");
      ::unsetenv("QUORVEL_CODEPAGE");
      const int in = ::open(input == Input::kText ? inFile.c_str() : "/dev/null", O_RDONLY);
      const int out = ::open(outPath.empty() ? outFile.c_str() : outPath.c_str(),
                             O_WRONLY | O_CREAT | O_TRUNC, 0600);
      const int err = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      ::dup2(in, 0);
      ::dup2(out, 1);
      ::dup2(err, 2);
      if (input == Input::kClosed) ::close(0);
      std::vector<char*> argv{const_cast<char*>(QUORVEL_PROGRAM)};
      for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      ::execv(QUORVEL_PROGRAM, argv.data());
      ::_exit(127);
    }
    int wstatus = 0;
    ::waitpid(pid, &wstatus, 0);
    ProgramRun run;
    if (WIFEXITED(wstatus)) run.status = WEXITSTATUS(wstatus);
    if (WIFSIGNALED(wstatus)) run.signal = WTERMSIG(wstatus);
    run.out = outPath.empty() ? Slurp(outFile) : "";
    run.err = Slurp(errFile);
    return run;
  }

  quorvel::testing::TemporaryFolder folder_{"quorvel-program"};
  fs::path home_ = folder_.path();
};

constexpr const char* kPlain =
    "From: Ann <ann@example.org>\nTo: you@example.net\nSubject: Lunch\n\n"
    "Shall we meet for lunch on Thursday at the usual place near the office?\n";

// A To, From or Cc field of 50,000 nested groups once killed classify and mailbase
// build with a stack overflow inside the MIME library; a Maildir holding it printed
// no verdict at all.
TEST_F(ProgramTest, AddressGroupNestedInItselfIsJudgedAndLearned) {
  for (const char* field : {"To", "From", "Cc"}) {
    SCOPED_TRACE(field);
    const std::string text = std::string("Subject: nested\n") + field + ": " + Repeat("g:", 50000) +
                             "\n\nHello there, this is the body.\n";
    Spit(home_ / "Maildir/cur/1.eml:2,", text);
    Spit(home_ / "Maildir/new/2.eml", kPlain);
    const ProgramRun run = Run({"classify", (home_ / "Maildir").string()});
    EXPECT_EQ(run.signal, 0);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("1.eml:2,\t"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("2.eml\t"), std::string::npos) << run.out;
    EXPECT_NE(run.err.find("nested deeper than 4 levels cut off"), std::string::npos) << run.err;

    const ProgramRun build = Run({"mailbase", "build", "--good", (home_ / "Maildir").string(),
                                  "--out", (home_ / "built").string()});
    EXPECT_EQ(build.signal, 0);
    EXPECT_EQ(build.status, 0) << build.err;
  }
}

// A registry file with a key nested 300,000 levels deep crashed every command.
TEST_F(ProgramTest, RegistryKeyNestedTooDeeplyIsReportedNotACrash) {
  Spit(RegistryFile(), "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER" +
                           Repeat("\\k", 300000) + "]\n");
  const ProgramRun run = Run({"classify", Message("plain.eml", kPlain)});
  EXPECT_EQ(run.signal, 0);
  EXPECT_NE(run.err.find(RegistryFile().string() + ":3: key nested deeper than 512 levels"),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.out.find("plain.eml\t"), std::string::npos);
}

// A damaged or empty Bayes.db without a .bak, while Bayes.raw was intact, once gave
// "Could not load spam mail base" and then judged nearly every good message spam.
TEST_F(ProgramTest, DamagedTableIsCompiledAgainAndAMissingMailBaseHasItsOwnStatus) {
  const std::string plain = Message("plain.eml", kPlain);
  ASSERT_EQ(Run({"mailbase", "stats"}).status, 0);  // brings the shipped files
  Spit(DataFolder() / "Bayes.db", "");
  fs::remove(DataFolder() / "Bayes.db.bak");
  ProgramRun run = Run({"classify", "--exit-code", plain});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("compiled again from Bayes.raw and saved"), std::string::npos) << run.err;
  EXPECT_GT(fs::file_size(DataFolder() / "Bayes.db"), 1000u);
  EXPECT_EQ(Run({"classify", plain}).err, "");

  for (const char* name : {"Bayes.db", "Bayes.db.bak", "Bayes.raw", "Bayes.raw.bak"}) {
    Spit(DataFolder() / name, "damaged");
  }
  run = Run({"classify", "--exit-code", plain});
  EXPECT_EQ(run.status, 4);
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err.find("the mail base cannot be loaded"), std::string::npos) << run.err;
  run = Run({"classify", plain});
  EXPECT_EQ(run.status, 4);
  EXPECT_NE(run.out.find("plain.eml\t"), std::string::npos);
  EXPECT_NE(run.err.find("the mail base cannot be loaded"), std::string::npos) << run.err;
  EXPECT_EQ(Slurp(DataFolder() / "Bayes.raw"), "damaged");  // nothing saved over it
  run = Run({"mailbase", "stats"});
  EXPECT_NE(run.err.find("shipped"), std::string::npos) << run.err;
}

// A registry file that did not parse once left classify judging with empty lists
// without a word, and lists export writing an empty file; a value of the wrong type
// was ignored, and the next import saved an empty list over it.
TEST_F(ProgramTest, DamagedSettingsAreReportedAndNeverSavedOver) {
  const std::string plain = Message("plain.eml", kPlain);
  const std::string header = "Windows Registry Editor Version 5.00\n\n";
  const std::string key = "[HKEY_CURRENT_USER\\Software\\Veltmark\\Quorvel\\Settings]\n";
  Spit(RegistryFile(), header + key + "\"WhiteList\"=hex:01,zz\n");
  ProgramRun run = Run({"classify", plain});
  EXPECT_NE(run.err.find(RegistryFile().string() + ":4:"), std::string::npos) << run.err;
  const fs::path exported = home_ / "white.txt";
  run = Run({"list", "white", "export", exported.string()});
  EXPECT_EQ(run.status, 1);
  EXPECT_FALSE(fs::exists(exported));

  const std::string wrongType =
      header + key + "\"MarkSpamAsRead\"=dword:00000001\n" + "\"WhiteList\"=dword:00000007\n";
  Spit(RegistryFile(), wrongType);
  run = Run({"classify", plain});
  EXPECT_NE(run.err.find(RegistryFile().string() + ":5: value \"WhiteList\": a REG_DWORD value"),
            std::string::npos)
      << run.err;
  Spit(home_ / "friends.txt", "friend@example.org\r\n");
  run = Run({"list", "white", "import", (home_ / "friends.txt").string()});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("\"WhiteList\" did not load"), std::string::npos) << run.err;
  EXPECT_EQ(Slurp(RegistryFile()), wrongType);
  // A list that did load is imported, and the damaged value stays as it was.
  run = Run({"list", "safe", "import", (home_ / "friends.txt").string()});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(Slurp(RegistryFile()).find("\"WhiteList\"=dword:00000007"), std::string::npos);
}

TEST_F(ProgramTest, ClosedAndFullStreamsAreErrors) {
  const std::string plain = Message("plain.eml", kPlain);
  ProgramRun run = Run({"classify", plain}, Input::kEmpty, "", "/dev/full");
  EXPECT_EQ(run.status, 3);
  EXPECT_NE(run.err.find("cannot write to standard output"), std::string::npos) << run.err;

  run = Run({"classify", "-"}, Input::kClosed);
  EXPECT_EQ(run.status, 3);
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err.find("standard input"), std::string::npos) << run.err;

  run = Run({"classify", "-"}, Input::kText, kPlain);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(run.out.starts_with("-\tgood\t")) << run.out;
}

// A Maildir whose new/ could not be read was skipped without a word (exit 0), a loop
// of symbolic links was "no such file or folder", an unreadable Maildir "not a
// Maildir folder".
TEST_F(ProgramTest, FoldersThatCannotBeReadAndLoopsHaveTheirOwnMessages) {
  const fs::path loop = home_ / "loop";
  fs::create_symlink(loop, loop);
  ProgramRun run = Run({"classify", loop.string()});
  EXPECT_EQ(run.status, 3);
  EXPECT_NE(run.err.find(loop.string() + ": a loop of symbolic links"), std::string::npos)
      << run.err;

  const fs::path maildir = home_ / "Maildir";
  Spit(maildir / "cur/1.eml:2,", kPlain);
  fs::create_symlink(maildir / "new", maildir / "new");
  run = Run({"classify", maildir.string()});
  EXPECT_EQ(run.status, 3);
  EXPECT_NE(run.out.find("1.eml:2,\tgood"), std::string::npos) << run.out;
  EXPECT_NE(run.err.find((maildir / "new").string() + ": a loop of symbolic links"),
            std::string::npos)
      << run.err;

  if (::geteuid() != 0) {  // permissions do not hold back the superuser
    fs::remove(maildir / "new");
    fs::create_directories(maildir / "new");
    fs::permissions(maildir / "new", fs::perms::none);
    run = Run({"classify", maildir.string()});
    fs::permissions(maildir / "new", fs::perms::owner_all);
    EXPECT_EQ(run.status, 3);
    EXPECT_NE(run.err.find("new: permission denied"), std::string::npos) << run.err;
  }
}

// A tab or line feed in a file name broke the line's fields; a name that is not valid
// UTF-8 came back in JSON with U+FFFD and no longer named the file.
TEST_F(ProgramTest, PathsWithTabsLineFeedsAndBadUtf8StayRecoverable) {
  const std::string odd = Message("a\tb\nc\\d.eml", kPlain);
  ProgramRun run = Run({"classify", odd});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out.find('\n'), run.out.size() - 1) << run.out;
  EXPECT_NE(run.out.find("/a\\tb\\nc\\\\d.eml\tgood\t"), std::string::npos) << run.out;

  const std::string latin = Message("caf\xE9.eml", kPlain);
  run = Run({"classify", "--json", latin, odd});
  EXPECT_EQ(run.status, 0) << run.err;
  std::istringstream lines(run.out);
  std::string first, second;
  std::getline(lines, first);
  std::getline(lines, second);
  const nlohmann::json bad = nlohmann::json::parse(first);
  std::string bytes;
  for (const auto& b : bad.at("path_bytes")) bytes.push_back(static_cast<char>(b.get<int>()));
  EXPECT_EQ(bytes, latin);
  EXPECT_NE(bad.at("path").get<std::string>().find("caf\xEF\xBF\xBD.eml"), std::string::npos);
  const nlohmann::json good = nlohmann::json::parse(second);
  EXPECT_EQ(good.at("path"), odd);
  EXPECT_FALSE(good.contains("path_bytes"));
}

// Only tab and line ends were escaped: a name holding an escape sequence cleared or
// recoloured the terminal of whoever ran classify on the folder, from standard output
// and, for a name that could not be read, from standard error.
TEST_F(ProgramTest, ControlCharactersInNamesAreShownEscapedOnEveryLine) {
  const std::string odd = Message(
      "clear\x1b[2J\x07"
      "bell\x7f.eml",
      kPlain);
  ProgramRun run = Run({"classify", odd, home_.string() + "/mail/gone\x1b]0;owned\x07.eml"});
  EXPECT_EQ(run.status, 3) << run.err;
  EXPECT_NE(run.out.find("clear\\x1b[2J\\x07bell\\x7f.eml\tgood\t"), std::string::npos) << run.out;
  EXPECT_NE(run.err.find("gone\\x1b]0;owned\\x07.eml"), std::string::npos) << run.err;
  for (const std::string& text : {run.out, run.err}) {
    EXPECT_EQ(text.find_first_of("\x1b\x07\x7f"), std::string::npos) << text;
  }
}

}  // namespace
}  // namespace quorvel::app
