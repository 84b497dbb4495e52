// The options commands through the real quorvel program: each opens the options sheet,
// acts on one page and presses OK, and what it saved is read back by the next run and
// acted on by classify. Bad input is refused with a clear message and leaves the
// settings file exactly as it was.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "testing/child_process.h"
#include "testing/file_bytes.h"
#include "testing/temporary_home.h"

namespace quorvel::app {
namespace {

namespace fs = std::filesystem;
using quorvel::testing::ProgramRun;
using quorvel::testing::RunProgram;
using quorvel::testing::Slurp;
using quorvel::testing::Spit;
using quorvel::testing::TemporaryHome;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

constexpr const char* kLunch =
    "From: Ann <ann@example.org>\nTo: you@example.net\nSubject: Lunch offer\n\n"
    "Shall we meet for lunch on Thursday at the usual place near the office?\n";

class OptionsCommandsTest : public ::testing::Test {
 protected:
  ProgramRun Run(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {QUORVEL_PROGRAM};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunProgram(argv, home_.Environment(), "", std::chrono::seconds(60));
  }
  void Ok(const std::vector<std::string>& args) {
    ProgramRun run = Run(args);
    ASSERT_EQ(run.end.status, 0) << args[0] << " " << args[1] << ": " << run.err;
  }
  // The verdict classify gives the lunch message ("good" or "spam") and its reason.
  std::string Verdict() {
    const std::string path = home_.root() + "/lunch.eml";
    Spit(path, kLunch);
    ProgramRun run = Run({"classify", path});
    EXPECT_EQ(run.end.status, 0) << run.err;
    return run.out.substr(run.out.find('\t') + 1);
  }
  std::vector<std::string> Entries(const std::string& list) {
    ProgramRun run = Run({"list", list, "show", "--json"});
    EXPECT_EQ(run.end.status, 0) << run.err;
    std::vector<std::string> out;
    const nlohmann::json shown = nlohmann::json::parse(run.out);
    for (const auto& entry : shown["entries"]) {
      out.push_back(entry["address"].get<std::string>() + "|" + entry["name"].get<std::string>());
    }
    return out;
  }
  std::string Settings() {
    const std::string file = home_.RegistryFile("HKEY_CURRENT_USER");
    return fs::exists(file) ? Slurp(file) : "";
  }

  TemporaryHome home_;
};

TEST_F(OptionsCommandsTest, ABlackListedSenderIsSpamAndEditingHerAwayMakesHerGoodAgain) {
  ASSERT_THAT(Verdict(), HasSubstr("good"));
  Ok({"list", "black", "add", "ann@example.org", "Ann"});
  EXPECT_THAT(Entries("black"), ElementsAre("ann@example.org|Ann"));
  EXPECT_THAT(Verdict(), HasSubstr("spam"));
  Ok({"list", "black", "edit", "ann@example.org", "anna@example.org", "Anna"});
  EXPECT_THAT(Entries("black"), ElementsAre("anna@example.org|Anna"));
  EXPECT_THAT(Verdict(), HasSubstr("good"));
  Ok({"--yes", "list", "black", "remove", "anna@example.org"});
  EXPECT_TRUE(Entries("black").empty());
}

TEST_F(OptionsCommandsTest, AddingToTheWhiteListTakesTheSenderOffTheBlackList) {
  Ok({"list", "black", "add", "ann@example.org", "Ann"});
  Ok({"list", "black", "add", "bob@example.org", "Bob"});
  Ok({"--yes", "list", "white", "add", "ann@example.org", "Ann"});
  EXPECT_THAT(Entries("black"), ElementsAre("bob@example.org|Bob"));
  EXPECT_THAT(Entries("white"), ElementsAre("ann@example.org|Ann"));
  // A domain absorbs the single addresses of the list it is added to.
  Ok({"--yes", "list", "white", "add", "@example.org"});
  EXPECT_THAT(Entries("white"), ElementsAre("@example.org|@example.org"));
  ProgramRun again = Run({"list", "white", "add", "carl@example.org", "Carl"});
  EXPECT_EQ(again.end.status, 1);
  EXPECT_THAT(again.err, HasSubstr("This address already exists."));
}

TEST_F(OptionsCommandsTest, ASpamWordMatchesTheSubjectAndIsQuotedAsStored) {
  Ok({"dict", "spam", "add", "Lunch Offer"});
  EXPECT_THAT(Verdict(), HasSubstr("spam"));
  ProgramRun twice = Run({"dict", "spam", "add", "lunch offer"});
  EXPECT_EQ(twice.end.status, 1);
  EXPECT_THAT(twice.err, HasSubstr("This word is already in the list."));
  Ok({"dict", "spam", "edit", "lunch offer", "LUNCH OFFER"});
  ProgramRun shown = Run({"dict", "spam", "show", "--json"});
  EXPECT_EQ(nlohmann::json::parse(shown.out)["words"], nlohmann::json({"LUNCH OFFER"}));
  Ok({"--yes", "dict", "spam", "remove", "Lunch offer"});
  EXPECT_THAT(Verdict(), HasSubstr("good"));
}

TEST_F(OptionsCommandsTest, OptionsAreSetThroughTheirPageAndReadBack) {
  Ok({"option", "MarkSpamAsRead", "on"});
  Ok({"option", "autoaddtowhitelist", "false"});
  ProgramRun all = Run({"option", "--json"});
  ASSERT_EQ(all.end.status, 0) << all.err;
  const nlohmann::json values = nlohmann::json::parse(all.out);
  EXPECT_EQ(values["MarkSpamAsRead"], 1);
  EXPECT_EQ(values["AutoAddToWhiteList"], 0);
  EXPECT_EQ(values["TrayNotification"], 1);
  EXPECT_EQ(values.size(), 12u);
  EXPECT_NE(Settings().find("\"MarkSpamAsRead\"=dword:00000001"), std::string::npos);
  // The Marking Options' rule: the domain only while the address is added.
  Ok({"option", "GoodAddWhiteList", "0"});
  ProgramRun domain = Run({"option", "GoodAddDomainWhiteList", "1"});
  EXPECT_EQ(domain.end.status, 1);
  EXPECT_EQ(Run({"option", "GoodAddDomainWhiteList"}).out, "GoodAddDomainWhiteList 0\n");
}

TEST_F(OptionsCommandsTest, BadInputIsRefusedClearlyAndLeavesTheSettingsAsTheyWere) {
  Ok({"list", "white", "add", "ann@example.org", "Ann"});
  const std::string before = Settings();
  struct Case {
    std::vector<std::string> args;
    int status;
    const char* says;
  };
  const std::vector<Case> cases = {
      {{"option", "NoSuchOption", "1"}, 2, "there is no option \"NoSuchOption\""},
      {{"option", "MarkSpamAsRead", "maybe"}, 2, "is a switch"},
      {{"option", "MarkSpamAsRead", "1\x1b[2J"}, 2, "\\x1b"},
      {{"list", "white", "add", "bob\x07@example.org", "Bob"}, 1, "control characters"},
      {{"list", "white", "add", "bob@example.org", std::string(100'000, 'b')},
       1,
       "longer than 1024 characters"},
      {{"list", "white", "add", "\xE4\xB8\xAD@example.org", "Zhong"}, 1, "cannot hold"},
      {{"list", "white", "edit", "ann@example.org", "ann\n@example.org"}, 1, "control"},
      {{"dict", "good", "add", std::string(100'000, 'w')}, 1, "longer than 1024"},
      {{"dict", "good", "add", "tab\there"}, 1, "control characters"},
      {{"list", "white", "remove", "nobody@example.org"}, 1, "has no entry"},
      {{"list", "white", "export", "-"}, 2, "needs a file name"},
      {{"list", "black", "import", "-"}, 2, "needs a file name"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args[0] + " " + c.args[1] + " " + c.args[2].substr(0, 20));
    ProgramRun run = Run(c.args);
    EXPECT_EQ(run.end.status, c.status) << run.err;
    EXPECT_THAT(run.err, HasSubstr(c.says));
    EXPECT_EQ(Settings(), before);
  }
}

TEST_F(OptionsCommandsTest, ImportAndExportGoThroughTheListPage) {
  const std::string in = home_.root() + "/in.txt";
  Spit(in, "Ann\tann@example.org\r\nexample.net\r\n*@spam.example\r\n");
  ProgramRun imported = Run({"list", "safe", "import", in});
  ASSERT_EQ(imported.end.status, 0) << imported.err;
  EXPECT_THAT(imported.out, HasSubstr("3 entries added"));
  const std::string out = home_.root() + "/out.txt";
  Ok({"list", "safe", "export", out});
  EXPECT_EQ(Slurp(out),
            "*@spam.example\t*@spam.example\r\n@example.net\t@example.net\r\n"
            "Ann\tann@example.org\r\n");
}

TEST_F(OptionsCommandsTest, TheSpamFolderIsPickedOnTheGeneralPage) {
  const std::string maildir = home_.root() + "/Maildir";
  for (const char* sub : {"/cur", "/new", "/tmp", "/.Junk/cur", "/.Junk/new", "/.Junk/tmp"}) {
    fs::create_directories(maildir + sub);
  }
  Ok({"profile", "add", "home", "--maildir", maildir});
  ProgramRun set = Run({"spam-folder", "Inbox/Junk"});
  ASSERT_EQ(set.end.status, 0) << set.err;
  ProgramRun shown = Run({"spam-folder", "--json"});
  ASSERT_EQ(shown.end.status, 0) << shown.err;
  EXPECT_THAT(nlohmann::json::parse(shown.out)["path"].get<std::string>(), HasSubstr("Junk"));
  ProgramRun missing = Run({"spam-folder", "Inbox/Nowhere"});
  EXPECT_EQ(missing.end.status, 1);
  EXPECT_THAT(missing.err, HasSubstr("Nowhere"));
}

}  // namespace
}  // namespace quorvel::app
