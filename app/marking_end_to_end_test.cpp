// `quorvel junk` and `quorvel good` as a user runs them against a running host on a
// temporary Maildir: the message learned (read back from the mail base files after
// the rebuild), its sender on the list (read back with `list ... export`), the file in
// its new folder; question 614 for a mailing list; `classify` of a similar message
// after the rebuild; and the names that refuse the whole command.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "testing/child_process.h"
#include "testing/file_bytes.h"
#include "testing/host_process.h"
#include "testing/temporary_home.h"
#include "testing/wait_until.h"

namespace quorvel::app {
namespace {
namespace fs = std::filesystem;
using namespace std::chrono_literals;
using quorvel::testing::ProgramRun;
using quorvel::testing::Slurp;
using quorvel::testing::Spit;
using quorvel::testing::WaitUntil;
using ::testing::HasSubstr;
using ::testing::Not;

// Words the shipped mail base has never seen, so that what the marking taught shows.
constexpr const char* kPillsBody =
    "Order genuine zentrafil plumquist online today without prescription. Cheap "
    "zentrafil, dravonex shipping, lowest plumquist prices guaranteed, order now.\n";

std::string Message(const std::string& from, const std::string& id, const std::string& subject,
                    const std::string& body, const std::string& extra = "") {
  return "From: " + from + "\nTo: me@example.org\nSubject: " + subject + "\nMessage-ID: <" + id +
         ">\n" + extra + "\n" + body;
}

// Every message file of a folder (cur and new).
std::vector<fs::path> FilesIn(const fs::path& folder) {
  std::vector<fs::path> files;
  for (const char* sub : {"cur", "new"}) {
    if (!fs::exists(folder / sub)) continue;
    for (const auto& entry : fs::directory_iterator(folder / sub)) files.push_back(entry.path());
  }
  return files;
}

bool HoldsMessageId(const fs::path& folder, const std::string& id) {
  for (const fs::path& file : FilesIn(folder)) {
    if (Slurp(file).find("<" + id + ">") != std::string::npos) return true;
  }
  return false;
}

class MarkingEndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    maildir_ = fs::path(home_.root()) / "Maildir";
    for (const char* dir : {"", ".Spam", ".Archive"}) {
      for (const char* sub : {"cur", "new", "tmp"}) fs::create_directories(maildir_ / dir / sub);
    }
    Spit(maildir_ / "cur/1700000000.1.host:2,S",
         Message("Pill Shop <shop@pills.example>", "pills1@pills.example", "Cheap pills",
                 kPillsBody));
    Spit(maildir_ / ".Spam/cur/1700000001.2.host:2,S",
         Message("News <news@list.example>", "news1@list.example", "Weekly news",
                 "This week in the club: meeting on Tuesday, results of the vote.\n",
                 "List-Id: <news.list.example>\n"));
    // The same Message-ID in two folders.
    const std::string twin =
        Message("Twin <twin@twins.example>", "twin@twins.example", "Twin", "One of two copies.\n");
    Spit(maildir_ / "cur/1700000002.3.host:2,S", twin);
    Spit(maildir_ / ".Archive/cur/1700000003.4.host:2,S", twin);
    Spit(maildir_ / "cur/1700000004.5.host:2,S",
         Message("Bob <bob@friends.example>", "bob1@friends.example", "Hello", "Hi there.\n"));
    Spit(fs::path(home_.root()) / "similar.eml",
         Message("Other Shop <sales@another.example>", "similar@another.example",
                 "Cheap pills today", kPillsBody));
    ASSERT_EQ(Quorvel({"profile", "add", "home", "--maildir", maildir_.string()}).end.status, 0);
    ASSERT_EQ(Quorvel({"register"}).end.status, 0);
    // The marking options a user chose: junk senders go to the Black List.
    std::string registry = Slurp(home_.RegistryFile());
    registry +=
        "\n[HKEY_CURRENT_USER\\Software\\Veltmark\\Quorvel\\Settings]\n"
        "\"JunkAddBlackList\"=dword:00000001\n";
    Spit(home_.RegistryFile(), registry);
  }

  ProgramRun Quorvel(std::vector<std::string> args, const std::string& input = "") {
    args.insert(args.begin(), QUORVEL_PROGRAM);
    return quorvel::testing::RunProgram(args, home_.Environment(), input, 60s);
  }
  nlohmann::json Stats() {
    ProgramRun stats = Quorvel({"mailbase", "stats", "--json"});
    if (stats.end.status != 0) return {};
    return nlohmann::json::parse(stats.out, nullptr, false);
  }
  int TableCount(const char* key) {
    nlohmann::json stats = Stats();
    return stats.is_object() && stats.contains(key) ? stats[key].get<int>() : -1;
  }
  // A list as `list ... export` writes it.
  std::string List(const std::string& which) {
    const fs::path file = fs::path(home_.root()) / (which + ".txt");
    ProgramRun run = Quorvel({"list", which, "export", file.string()});
    return run.end.status == 0 ? Slurp(file) : run.err;
  }
  // The probability `classify` lists for `token` among a message's decisive tokens;
  // -1 when it is not listed (unknown to the mail base).
  double TokenProbability(const fs::path& file, const std::string& token) {
    ProgramRun run = Quorvel({"classify", "--json", file.string()});
    auto line = nlohmann::json::parse(run.out, nullptr, false);
    if (!line.is_object()) return -1;
    const std::string reason = line["reason"].get<std::string>();
    const auto at = reason.find("\n" + token + "\t");
    return at == std::string::npos ? -1 : std::stod(reason.substr(at + token.size() + 2));
  }

  quorvel::testing::TemporaryHome home_;
  fs::path maildir_;
};

TEST_F(MarkingEndToEndTest, JunkAndGoodLearnListAndMoveThroughARunningHost) {
  quorvel::testing::HostProcess host(QUORVEL_PROGRAM, home_);
  std::string error;
  ASSERT_TRUE(host.Start(60s, &error)) << error;
  const int junkBefore = TableCount("table_junk_messages");
  ASSERT_GE(junkBefore, 0);
  const fs::path similar = fs::path(home_.root()) / "similar.eml";
  EXPECT_EQ(TokenProbability(similar, "zentrafil"), -1) << "not known before";

  // Junk on an Inbox message, named by its file.
  ProgramRun junk = Quorvel({"junk", (maildir_ / "cur/1700000000.1.host:2,S").string()});
  ASSERT_EQ(junk.end.status, 0) << junk.err;
  EXPECT_THAT(junk.out, HasSubstr("marked 1 message as junk"));
  EXPECT_TRUE(HoldsMessageId(maildir_ / ".Spam", "pills1@pills.example"));
  EXPECT_FALSE(HoldsMessageId(maildir_, "pills1@pills.example"));
  EXPECT_THAT(List("black"), HasSubstr("shop@pills.example"));
  // Learned: the rebuild the marking asked for puts it into the table.
  ASSERT_TRUE(WaitUntil([&] { return TableCount("table_junk_messages") == junkBefore + 1; }, 30s))
      << Stats().dump();
  EXPECT_GT(TokenProbability(similar, "zentrafil"), 0.9) << "a similar message's words are junk's";

  // Good on the spam folder's mailing-list message, by Message-ID: back to the Inbox,
  // whitelisted, and question 614 answered Yes (--yes) puts it on the Safe Recipients.
  ProgramRun good = Quorvel({"--yes", "good", "news1@list.example"});
  ASSERT_EQ(good.end.status, 0) << good.err;
  EXPECT_TRUE(HoldsMessageId(maildir_, "news1@list.example"));
  EXPECT_FALSE(HoldsMessageId(maildir_ / ".Spam", "news1@list.example"));
  EXPECT_THAT(List("white"), HasSubstr("news@list.example"));
  EXPECT_THAT(List("safe"), HasSubstr("news@list.example"));

  // --piped: the mail program pipes the message; the profile's copy is marked.
  const std::string bob = Slurp(maildir_ / "cur/1700000004.5.host:2,S");
  ProgramRun piped = Quorvel({"junk", "--piped"}, bob);
  ASSERT_EQ(piped.end.status, 0) << piped.err;
  EXPECT_TRUE(HoldsMessageId(maildir_ / ".Spam", "bob1@friends.example"));

  auto stopped = host.Stop(30s);
  ASSERT_TRUE(stopped.has_value());
  EXPECT_EQ(stopped->status, 0) << host.Errors();
}

TEST_F(MarkingEndToEndTest, NamesThatRefuseTheCommandMarkNothing) {
  quorvel::testing::HostProcess host(QUORVEL_PROGRAM, home_);
  std::string error;
  ASSERT_TRUE(host.Start(60s, &error)) << error;
  const fs::path inboxPills = maildir_ / "cur/1700000000.1.host:2,S";
  struct Case {
    const char* name;
    std::vector<std::string> args;
    const char* says;
  } cases[] = {
      {"a Message-ID in two folders",
       {"junk", inboxPills.string(), "twin@twins.example"},
       "twin@twins.example"},
      {"a file outside the profile",
       {"junk", inboxPills.string(), (fs::path(home_.root()) / "similar.eml").string()},
       "outside the profile"},
  };
  for (const Case& c : cases) {
    ProgramRun run = Quorvel(c.args);
    EXPECT_EQ(run.end.status, 1) << c.name;
    EXPECT_THAT(run.err, HasSubstr(c.says)) << c.name;
    EXPECT_THAT(run.err, HasSubstr("nothing was marked")) << c.name;
    EXPECT_TRUE(fs::exists(inboxPills)) << c.name << ": the other message stayed";
  }
  // A message that vanished since it was named: reported, the others marked.
  const fs::path gone = maildir_ / "cur/1700000009.9.host:2,S";
  ProgramRun vanished = Quorvel({"junk", gone.string(), inboxPills.string()});
  EXPECT_EQ(vanished.end.status, 1);
  EXPECT_THAT(vanished.err, Not(HasSubstr("nothing was marked")));
  EXPECT_TRUE(HoldsMessageId(maildir_ / ".Spam", "pills1@pills.example"));
  // Standard input that carries no message.
  ProgramRun empty = Quorvel({"junk", "--piped"}, "");
  EXPECT_EQ(empty.end.status, 1);
  EXPECT_THAT(empty.err, HasSubstr("standard input"));
  EXPECT_EQ(Quorvel({"junk"}).end.status, 2);
  EXPECT_TRUE(host.Stop(30s).has_value());
}

TEST_F(MarkingEndToEndTest, WithoutARunningHostTheLearningStillReachesTheTable) {
  // The command's own short-lived host stops right after the marking.
  const int junkBefore = TableCount("table_junk_messages");
  ProgramRun junk = Quorvel({"junk", "pills1@pills.example"});
  ASSERT_EQ(junk.end.status, 0) << junk.err;
  EXPECT_TRUE(HoldsMessageId(maildir_ / ".Spam", "pills1@pills.example"));
  EXPECT_EQ(TableCount("table_junk_messages"), std::max(junkBefore, 0) + 1) << Stats().dump();
}

}  // namespace
}  // namespace quorvel::app
