// `quorvel folders` and `quorvel messages` as a user runs them against a profile on a
// temporary Maildir: once with no host running (the command's own short-lived host),
// and once sent to a running `quorvel run`, from another working folder.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "app/listing_text.h"
#include "testing/child_process.h"
#include "testing/file_bytes.h"
#include "testing/host_process.h"
#include "testing/temporary_home.h"

namespace quorvel::app {
namespace {
namespace fs = std::filesystem;
using namespace std::chrono_literals;
using quorvel::testing::ProgramRun;
using quorvel::testing::Spit;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class ListingCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    maildir_ = fs::path(home_.root()) / "Maildir";
    for (const char* dir : {"", ".Spam", ".Sent"}) {
      for (const char* sub : {"cur", "new", "tmp"}) fs::create_directories(maildir_ / dir / sub);
    }
    Spit(maildir_ / "cur/1700000000.1.host:2,S",
         "From: Ann <ann@friends.example>\nSubject: Lunch\nMessage-ID: <lunch@x>\n"
         "Date: Tue, 14 Nov 2023 22:13:20 +0000\n\nHi\n");
    Spit(maildir_ / ".Spam/new/1700000001.2.host",
         "From: deals@blocked.example\nSubject: Cheap\tpills\x01!\nMessage-ID: <pills@x>\n\nBuy\n");
    ProgramRun added = Quorvel({"profile", "add", "home", "--maildir", maildir_.string()});
    ASSERT_EQ(added.end.status, 0) << added.err;
  }
  ProgramRun Quorvel(std::vector<std::string> args, const std::string& cwd = "") {
    args.insert(args.begin(), QUORVEL_PROGRAM);
    if (!cwd.empty()) {
      std::string line = "cd '" + cwd + "' && exec";
      for (const std::string& a : args) line += " '" + a + "'";
      args = {"/bin/sh", "-c", line};
    }
    return quorvel::testing::RunProgram(args, home_.Environment(), "", 60s);
  }

  quorvel::testing::TemporaryHome home_;
  fs::path maildir_;
};

TEST_F(ListingCommandsTest, WithoutARunningHost) {
  ProgramRun folders = Quorvel({"folders"});
  ASSERT_EQ(folders.end.status, 0) << folders.err;
  std::vector<std::string> lines = Lines(folders.out);
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[0], "Inbox\t1\t0\tinbox");
  EXPECT_THAT(lines, ::testing::Contains("Inbox/Spam\t1\t1"));
  EXPECT_THAT(lines, ::testing::Contains("Inbox/Sent\t0\t0\tsent"));

  ProgramRun json = Quorvel({"folders", "--json"});
  ASSERT_EQ(json.end.status, 0) << json.err;
  auto first = nlohmann::json::parse(Lines(json.out).at(0));
  EXPECT_EQ(first["path"], "Inbox");
  EXPECT_EQ(first["special"], "inbox");
  EXPECT_EQ(first["items"], 1);

  ProgramRun inbox = Quorvel({"messages"});
  ASSERT_EQ(inbox.end.status, 0) << inbox.err;
  ASSERT_EQ(Lines(inbox.out).size(), 1u);
  EXPECT_THAT(inbox.out, HasSubstr((maildir_ / "cur/1700000000.1.host:2,S").string() + "\t"));
  EXPECT_THAT(inbox.out, HasSubstr("\tread\t"));
  EXPECT_THAT(inbox.out, HasSubstr("\tAnn <ann@friends.example>\tLunch\n"));

  // A control character in a subject cannot break the line apart.
  ProgramRun spam = Quorvel({"messages", "Inbox/Spam"});
  ASSERT_EQ(spam.end.status, 0) << spam.err;
  ASSERT_EQ(Lines(spam.out).size(), 1u);
  EXPECT_THAT(spam.out, HasSubstr("\tunread\t"));
  EXPECT_THAT(spam.out, HasSubstr("\tdeals@blocked.example\tCheap\\tpills\\x01!\n"));

  ProgramRun spamJson = Quorvel({"messages", "--json", (maildir_ / ".Spam").string()});
  ASSERT_EQ(spamJson.end.status, 0) << spamJson.err;
  auto message = nlohmann::json::parse(Lines(spamJson.out).at(0));
  EXPECT_EQ(message["name"], (maildir_ / ".Spam/new/1700000001.2.host").string());
  EXPECT_EQ(message["subject"], "Cheap\tpills\x01!");
  EXPECT_EQ(message["sender"]["address"], "deals@blocked.example");
  EXPECT_EQ(message["read"], false);
  EXPECT_GT(message["size"].get<int>(), 0);

  ProgramRun missing = Quorvel({"messages", "Inbox/Ham"});
  EXPECT_EQ(missing.end.status, 1);
  EXPECT_THAT(missing.err, HasSubstr("\"Inbox\" has no subfolder \"Ham\""));
  ProgramRun outside = Quorvel({"messages", home_.root()});
  EXPECT_EQ(outside.end.status, 1);
  EXPECT_THAT(outside.err, HasSubstr("outside the profile's mailbox"));
}

TEST_F(ListingCommandsTest, SentToARunningHostFromAnotherWorkingFolder) {
  quorvel::testing::HostProcess host(QUORVEL_PROGRAM, home_);
  std::string error;
  ASSERT_TRUE(host.Start(30s, &error)) << error;
  // ".Spam" is the client's relative name: the host takes it from the client's folder.
  ProgramRun spam = Quorvel({"messages", ".Spam"}, maildir_.string());
  EXPECT_EQ(spam.end.status, 0) << spam.err;
  EXPECT_THAT(spam.out, HasSubstr((maildir_ / ".Spam/new/1700000001.2.host").string()));
  ProgramRun folders = Quorvel({"folders"});
  EXPECT_EQ(folders.end.status, 0) << folders.err;
  EXPECT_THAT(Lines(folders.out), ::testing::Contains("Inbox/Spam\t1\t1"));
  auto stopped = host.Stop(30s);
  ASSERT_TRUE(stopped.has_value());
  EXPECT_EQ(stopped->status, 0) << host.Errors();
}

// Folders named in modified UTF-7 (as Dovecot and Courier make them) and in UTF-8 list
// by their names in any script, and those names, in any case, find them again.
TEST_F(ListingCommandsTest, FolderNamesOfAnyScript) {
  const std::string german = "Entw\u00fcrfe";
  const std::string russian = "\u041f\u043e\u0436\u0430\u043b\u0443\u0439\u0441\u0442\u0430";
  const std::string hebrew = "\u05d3\u05d5\u05d0\u05e8";
  for (const std::string& dir :
       std::vector<std::string>{".Entw&APw-rfe", ".&BB8EPgQ2BDAEOwRDBDkEQQRCBDA-", "." + hebrew}) {
    for (const char* sub : {"cur", "new", "tmp"}) fs::create_directories(maildir_ / dir / sub);
  }
  Spit(maildir_ / ".&BB8EPgQ2BDAEOwRDBDkEQQRCBDA-/new/1700000002.3.host",
       "From: a@b.example\nSubject: Privet\n\nHi\n");
  ProgramRun folders = Quorvel({"folders"});
  ASSERT_EQ(folders.end.status, 0) << folders.err;
  std::vector<std::string> lines = Lines(folders.out);
  EXPECT_THAT(lines, ::testing::Contains("Inbox/" + german + "\t0\t0"));
  EXPECT_THAT(lines, ::testing::Contains("Inbox/" + russian + "\t1\t1"));
  EXPECT_THAT(lines, ::testing::Contains("Inbox/" + hebrew + "\t0\t0"));

  ProgramRun json = Quorvel({"folders", "--json"});
  ASSERT_EQ(json.end.status, 0) << json.err;
  std::vector<std::string> paths;
  for (const std::string& line : Lines(json.out)) {
    paths.push_back(nlohmann::json::parse(line)["path"]);
  }
  EXPECT_THAT(paths,
              ::testing::IsSupersetOf({"Inbox/" + german, "Inbox/" + russian, "Inbox/" + hebrew}));

  // Named as the listing prints it, in another case, or without the Inbox.
  const std::string lower = "\u043f\u043e\u0436\u0430\u043b\u0443\u0439\u0441\u0442\u0430";
  for (const std::string& name : {"Inbox/" + russian, lower, "INBOX/" + lower}) {
    ProgramRun messages = Quorvel({"messages", name});
    EXPECT_EQ(messages.end.status, 0) << name << ": " << messages.err;
    EXPECT_THAT(messages.out, HasSubstr("\tPrivet\n")) << name;
  }
  // A name whose ANSI form ("??????????") other names share finds nothing else.
  ProgramRun other =
      Quorvel({"messages", "\u0416\u0416\u0416\u0416\u0416\u0416\u0416\u0416\u0416\u0416"});
  EXPECT_EQ(other.end.status, 1);
  EXPECT_THAT(other.err, HasSubstr("has no subfolder"));

  // Checked by its name, and asked about by its name.
  ProgramRun checked = Quorvel({"check", russian});
  ASSERT_EQ(checked.end.status, 0) << checked.err;
  EXPECT_THAT(checked.err, HasSubstr("check \"" + russian + "\" folder?"));
  EXPECT_THAT(checked.err, HasSubstr("Check done: 1 message checked"));
  ProgramRun germanChecked = Quorvel({"check", "--yes", german});
  EXPECT_EQ(germanChecked.end.status, 0) << germanChecked.err;

  // Chosen as the spam folder by its name in another case, and shown by its name.
  ProgramRun chosen = Quorvel({"spam-folder", lower});
  ASSERT_EQ(chosen.end.status, 0) << chosen.err;
  EXPECT_THAT(chosen.out, ::testing::EndsWith(" -> " + russian + "\n"));
  ProgramRun shown = Quorvel({"spam-folder", "--json"});
  ASSERT_EQ(shown.end.status, 0) << shown.err;
  EXPECT_THAT(nlohmann::json::parse(shown.out)["path"].get<std::string>(),
              ::testing::EndsWith(" -> " + russian));
}

TEST(ListingTextTest, TimesAreReadable) {
  // 1970-01-01 as a file time, plus 1,700,000,000 seconds.
  EXPECT_EQ(UtcTimeText(116'444'736'000'000'000ull + 1'700'000'000ull * 10'000'000),
            "2023-11-14T22:13:20Z");
  EXPECT_EQ(UtcTimeText(0), "");
  EXPECT_EQ(UtcTimeText(5), "");  // before 1970
}

}  // namespace
}  // namespace quorvel::app
