// The command line end to end: quorvel classify, quorvel mailbase and quorvel lists
// over files in a temporary home, with messages that the rules decide on their own so
// that the verdicts do not depend on a mail base.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "app/cli.h"
#include "app/commands.h"

namespace quorvel::app {
namespace {
namespace fs = std::filesystem;

constexpr const char* kVirusReport =
    "From: Mail Gateway <scanner@gateway.example.net>\r\n"
    "To: you@example.net\r\n"
    "Subject: Virus found\r\n"
    "MIME-Version: 1.0\r\n"
    "Content-Type: multipart/mixed; boundary=\"b\"\r\n"
    "\r\n"
    "--b\r\n"
    "Content-Type: text/plain\r\n"
    "\r\n"
    "An attachment was removed.\r\n"
    "--b\r\n"
    "Content-Type: text/plain; name=\"ViRuSWarning.txt\"\r\n"
    "Content-Disposition: attachment; filename=\"ViRuSWarning.txt\"\r\n"
    "\r\n"
    "W32.Example.A\r\n"
    "--b--\r\n";

// A meeting request is not an e-mail item: good whatever the mail base says.
constexpr const char* kInvitation =
    "From: Organizer <boss@work.example>\r\n"
    "To: you@example.net\r\n"
    "Subject: Invitation: Weekly sync\r\n"
    "MIME-Version: 1.0\r\n"
    "Content-Type: text/calendar; charset=utf-8; method=REQUEST\r\n"
    "\r\n"
    "BEGIN:VCALENDAR\r\nMETHOD:REQUEST\r\nEND:VCALENDAR\r\n";
constexpr const char* kNotEmail = "Selected item is not e-mail item.";

struct CliRun {
  int status;
  std::string out;
  std::string err;
};

class CommandLineEndToEnd : public ::testing::Test {
 protected:
  // One temporary home for the whole program: the data folder is computed once per
  // process.
  static void SetUpTestSuite() {
    char pattern[] = "/tmp/quorvel-cli-test-XXXXXX";
    root_ = new fs::path(mkdtemp(pattern));
    setenv("HOME", root_->c_str(), 1);
    setenv("XDG_DATA_HOME", (*root_ / "data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (*root_ / "config").c_str(), 1);
    unsetenv("XDG_DESKTOP_DIR");
    // The shipped mail base, as a first run would copy it: without one every classify
    // would report that the mail base cannot be loaded.
    const fs::path data = *root_ / "data/Veltmark/Quorvel";
    fs::create_directories(data);
    for (const char* name : {"Bayes.raw", "Bayes.db"}) {
      fs::copy_file(fs::path(QUORVEL_SOURCE_ROOT) / "data" / name, data / name);
    }
  }
  static void TearDownTestSuite() {
    std::error_code ec;
    fs::remove_all(*root_, ec);
    delete root_;
  }

  static std::string WriteMessage(const std::string& name, const std::string& text) {
    fs::path path = *root_ / "mail" / name;
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
  }

  static std::string ReadTestMail(const std::string& name) {
    const char* source = std::getenv("QUORVEL_SOURCE_DIR");
    const fs::path base =
        source != nullptr ? fs::path(source) : fs::path(__FILE__).parent_path() / "..";
    std::ifstream file(base / "testdata" / "mail" / name, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(file)), {});
    EXPECT_FALSE(text.empty()) << name;
    return text;
  }

  static CliRun Run(std::vector<std::string> args) {
    args.insert(args.begin(), "quorvel");
    std::vector<const char*> argv;
    for (const auto& a : args) argv.push_back(a.c_str());
    std::ostringstream out, err;
    int status = RunCommandLine(static_cast<int>(argv.size()), argv.data(), out, err);
    return {status, out.str(), err.str()};
  }

  static fs::path* root_;
};

fs::path* CommandLineEndToEnd::root_ = nullptr;

TEST_F(CommandLineEndToEnd, OneLinePerMessageWithVerdictAndFirstReasonLine) {
  const std::string virus = WriteMessage("virus.eml", kVirusReport);
  const std::string invitation = WriteMessage("invitation.eml", kInvitation);
  CliRun r = Run({"classify", virus, invitation});
  EXPECT_EQ(r.status, kExitOk) << r.err;
  EXPECT_EQ(r.out, virus + "\tspam\tReport from anti-virus software\n" + invitation + "\tgood\t" +
                       kNotEmail + "\n");
}

TEST_F(CommandLineEndToEnd, JsonCarriesTheWholeReason) {
  const std::string virus = WriteMessage("virus.eml", kVirusReport);
  CliRun r = Run({"classify", "--json", virus});
  ASSERT_EQ(r.status, kExitOk) << r.err;
  const auto line = nlohmann::json::parse(r.out);
  EXPECT_EQ(line["path"], virus);
  EXPECT_EQ(line["spam"], true);
  const std::string reason = line["reason"];
  EXPECT_EQ(reason.rfind("Report from anti-virus software", 0), 0u) << reason;
}

TEST_F(CommandLineEndToEnd, ExitCodeSaysSpamOrGoodForOneMessage) {
  EXPECT_EQ(Run({"classify", "--exit-code", WriteMessage("v.eml", kVirusReport)}).status,
            kExitSpam);
  EXPECT_EQ(Run({"classify", "--exit-code", WriteMessage("i.eml", kInvitation)}).status, kExitOk);
  // Without --exit-code a spam verdict is still a success.
  EXPECT_EQ(Run({"classify", WriteMessage("v.eml", kVirusReport)}).status, kExitOk);
}

TEST_F(CommandLineEndToEnd, UnreadablePathIsReportedAndTheRestAreJudged) {
  const std::string invitation = WriteMessage("invitation.eml", kInvitation);
  const std::string missing = (*root_ / "mail" / "no-such-message").string();
  CliRun r = Run({"classify", "--exit-code", missing, invitation});
  EXPECT_EQ(r.status, kExitUnreadable);
  EXPECT_NE(r.err.find(missing), std::string::npos);
  EXPECT_EQ(r.out, invitation + "\tgood\t" + kNotEmail + "\n");
}

TEST_F(CommandLineEndToEnd, MaildirFolderIsJudgedCurThenNewInNameOrder) {
  const fs::path box = *root_ / "Maildir";
  fs::create_directories(box / "tmp");
  WriteMessage("../Maildir/new/2.host", kInvitation);
  WriteMessage("../Maildir/new/1.host", kVirusReport);
  WriteMessage("../Maildir/cur/3.host:2,S", kInvitation);
  WriteMessage("../Maildir/cur/.hidden", kVirusReport);
  CliRun r = Run({"classify", box.string()});
  ASSERT_EQ(r.status, kExitOk) << r.err;
  std::istringstream lines(r.out);
  std::vector<std::string> paths;
  for (std::string line; std::getline(lines, line);)
    paths.push_back(line.substr(0, line.find('\t')));
  EXPECT_EQ(paths, (std::vector<std::string>{(box / "cur" / "3.host:2,S").string(),
                                             (box / "new" / "1.host").string(),
                                             (box / "new" / "2.host").string()}));
}

// Delivered spam that carries "X-Unsent: 1" is judged by the rules wherever it comes
// from; only a Maildir's "D" flag makes a draft.
TEST_F(CommandLineEndToEnd, OnlyTheMaildirDraftFlagMakesADraft) {
  const std::string advert = ReadTestMail("x_unsent_advert.eml");
  const fs::path box = *root_ / "Drafts";
  const std::string file = WriteMessage("advert.eml", advert);
  WriteMessage("../Drafts/cur/1.host:2,DS", advert);
  WriteMessage("../Drafts/cur/2.host:2,S", advert);
  WriteMessage("../Drafts/new/3.host", advert);

  std::istringstream input(advert);
  std::streambuf* saved = std::cin.rdbuf(input.rdbuf());
  CliRun r = Run({"classify", file, "-", box.string()});
  std::cin.rdbuf(saved);
  ASSERT_EQ(r.status, kExitOk) << r.err;

  const std::string draft = "Selected item is Draft.";
  const std::vector<std::pair<std::string, bool>> expected = {
      {file, false},
      {"-", false},
      {(box / "cur" / "1.host:2,DS").string(), true},
      {(box / "cur" / "2.host:2,S").string(), false},
      {(box / "new" / "3.host").string(), false},
  };
  std::istringstream lines(r.out);
  std::size_t i = 0;
  for (std::string line; std::getline(lines, line); ++i) {
    ASSERT_LT(i, expected.size()) << r.out;
    const auto& [path, isDraft] = expected[i];
    EXPECT_EQ(line.substr(0, line.find('\t')), path);
    const std::string reason = line.substr(line.rfind('\t') + 1);
    EXPECT_EQ(reason == draft, isDraft) << line;
  }
  EXPECT_EQ(i, expected.size()) << r.out;
}

TEST_F(CommandLineEndToEnd, StandardInputIsOneMessage) {
  std::istringstream input(kVirusReport);
  std::streambuf* saved = std::cin.rdbuf(input.rdbuf());
  CliRun r = Run({"classify", "-"});
  std::cin.rdbuf(saved);
  EXPECT_EQ(r.status, kExitOk) << r.err;
  EXPECT_EQ(r.out, "-\tspam\tReport from anti-virus software\n");
}

// Each run loads the settings afresh, so what one import saved is what the next run
// exports.
TEST_F(CommandLineEndToEnd, ListsImportSavesAndExportWritesThePage) {
  const fs::path in = *root_ / "lists" / "in.txt";
  fs::create_directories(in.parent_path());
  std::ofstream(in, std::ios::binary)
      << "Jane Doe\tjane@example.com\r\nexample.org\r\n*@spam.example\r\n";
  CliRun r = Run({"lists", "import", "--list", "white", in.string()});
  ASSERT_EQ(r.status, kExitOk) << r.err;

  const fs::path out = *root_ / "lists" / "white.txt";
  r = Run({"lists", "export", "--list", "White", out.string()});
  ASSERT_EQ(r.status, kExitOk) << r.err;
  std::ifstream file(out, std::ios::binary);
  const std::string written((std::istreambuf_iterator<char>(file)), {});
  EXPECT_EQ(written,
            "*@spam.example\t*@spam.example\r\n"
            "Jane Doe\tjane@example.com\r\n"
            "@example.org\t@example.org\r\n");

  // Onto the Black List: off the White List.
  const fs::path jane = *root_ / "lists" / "jane.txt";
  std::ofstream(jane, std::ios::binary) << "jane@example.com\r\n";
  ASSERT_EQ(Run({"lists", "import", "--list", "black", jane.string()}).status, kExitOk);
  ASSERT_EQ(Run({"lists", "export", "--list", "white", out.string()}).status, kExitOk);
  std::ifstream again(out, std::ios::binary);
  const std::string white((std::istreambuf_iterator<char>(again)), {});
  EXPECT_EQ(white.find("jane@example.com"), std::string::npos) << white;
  EXPECT_NE(white.find("@example.org"), std::string::npos) << white;
}

TEST_F(CommandLineEndToEnd, ListsErrorsNameTheFile) {
  const std::string missing = (*root_ / "lists" / "missing.txt").string();
  CliRun r = Run({"lists", "import", "--list", "safe", missing});
  EXPECT_EQ(r.status, kExitFailure);
  EXPECT_NE(r.err.find("File Error"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(missing), std::string::npos) << r.err;
  EXPECT_EQ(Run({"lists", "export", "--list", "grey", missing}).status, kExitUsage);
}

TEST_F(CommandLineEndToEnd, UsageErrors) {
  EXPECT_EQ(Run({"classify"}).status, kExitUsage);
  EXPECT_EQ(Run({"classify", "--no-such-flag", "x"}).status, kExitUsage);
  EXPECT_EQ(Run({"mailbase"}).status, kExitUsage);
  EXPECT_EQ(Run({"mailbase", "build", "--good", "x"}).status, kExitUsage);  // no --out
}

TEST_F(CommandLineEndToEnd, MailbaseBuildLearnsBothKindsAndStatsReadsTheUserMailbase) {
  std::vector<std::string> good, junk;
  for (int i = 0; i < 3; ++i) {
    good.push_back(WriteMessage("good" + std::to_string(i),
                                "From: a@example.org\r\nSubject: minutes\r\n\r\n"
                                "the planning meeting notes for the storage review\r\n"));
  }
  junk.push_back(WriteMessage("junk0",
                              "From: b@example.com\r\nSubject: offer\r\n\r\n"
                              "cheap pills online order now\r\n"));
  // Build straight into the user's data folder, as a user replacing the seed would.
  const fs::path dataFolder = *root_ / "data" / "Veltmark" / "Quorvel";
  std::vector<std::string> args = {"mailbase", "build", "--out", dataFolder.string(), "--good"};
  args.insert(args.end(), good.begin(), good.end());
  args.push_back("--junk");
  args.insert(args.end(), junk.begin(), junk.end());
  CliRun built = Run(args);
  ASSERT_EQ(built.status, kExitOk) << built.err;
  EXPECT_EQ(built.out, "Learned junk messages: 1\nLearned good messages: 3\n");
  EXPECT_TRUE(fs::exists(dataFolder / "Bayes.raw"));
  EXPECT_TRUE(fs::exists(dataFolder / "Bayes.db"));

  CliRun stats = Run({"mailbase", "stats"});
  ASSERT_EQ(stats.status, kExitOk) << stats.err;
  EXPECT_NE(stats.out.find("Learned junk messages: 1\n"), std::string::npos) << stats.out;
  EXPECT_NE(stats.out.find("Learned good messages: 3\n"), std::string::npos) << stats.out;
}

}  // namespace
}  // namespace quorvel::app
