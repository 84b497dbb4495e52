// `quorvel check` at a real terminal: the program runs on a pseudo-terminal as it
// would from a shell prompt, and a ^C typed while it checks a large folder cancels the
// check the way the progress window's Cancel does.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <strings.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "testing/child_process.h"
#include "testing/maildir_count.h"
#include "testing/temporary_home.h"
#include "testing/terminal_process.h"
#include "testing/wait_until.h"

namespace quorvel::app {
namespace {
namespace fs = std::filesystem;
using namespace std::chrono_literals;
using quorvel::testing::MessageFilesIn;
using quorvel::testing::ProgramRun;
using quorvel::testing::TerminalProcess;
using ::testing::HasSubstr;
using ::testing::Not;

// `text` with the Message-ID `id` first and none of its own.
std::string WithId(const std::string& text, const std::string& id) {
  std::string out = "Message-ID: <" + id + ">\n";
  std::istringstream lines(text);
  bool header = true;
  for (std::string line; std::getline(lines, line);) {
    if (line.empty() || line == "\r") header = false;
    if (!header || strncasecmp(line.c_str(), "message-id:", 11) != 0) out += line + "\n";
  }
  return out;
}

// Every Message-ID of the Maildir's message files, with the folder it is in.
std::multimap<std::string, std::string> Census(const fs::path& root) {
  std::multimap<std::string, std::string> found;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    const fs::path sub = entry.path().parent_path().filename();
    if (!entry.is_regular_file() || (sub != "cur" && sub != "new")) continue;
    std::ifstream in(entry.path());
    std::string line;
    std::getline(in, line);
    if (line.rfind("Message-ID: <", 0) == 0) {
      found.emplace(line.substr(13, line.find('>') - 13),
                    entry.path().parent_path().parent_path().filename().string());
    }
  }
  return found;
}

class CheckTerminalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    maildir_ = fs::path(home_.root()) / "Maildir";
    for (const char* dir : {"", ".Eval", ".Eval.A", ".Eval.B", ".Spam"}) {
      for (const char* sub : {"cur", "new", "tmp"}) fs::create_directories(maildir_ / dir / sub);
    }
    const char* source = std::getenv("QUORVEL_SOURCE_DIR");
    const fs::path mail =
        (source ? fs::path(source) : fs::path(__FILE__).parent_path() / "..") / "testdata/mail";
    std::vector<std::string> texts;
    for (const auto& file : fs::directory_iterator(mail)) {
      std::ifstream in(file.path(), std::ios::binary);
      texts.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    ASSERT_FALSE(texts.empty());
    // A: the test mail once. B: copies of it, enough to take many seconds to check.
    int n = 0;
    for (const auto& [folder, copies] : {std::pair{".Eval.A", 1}, std::pair{".Eval.B", 1200}}) {
      for (int copy = 0; copy < copies; ++copy) {
        for (const std::string& text : texts) {
          ++n;
          std::ofstream(maildir_ / folder / "cur" /
                            (std::to_string(1700000000 + n) + ".M" + std::to_string(n) + ".h:2,S"),
                        std::ios::binary)
              << WithId(text, "m" + std::to_string(n) + "@terminal.test");
        }
      }
    }
    inB_ = MessageFilesIn(maildir_ / ".Eval.B");
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"profile", "add", "home", "--maildir", maildir_.string()}, {"register"}}) {
      ProgramRun done = Quorvel(args);
      ASSERT_EQ(done.end.status, 0) << done.err;
    }
  }
  ProgramRun Quorvel(std::vector<std::string> args) const {
    args.insert(args.begin(), QUORVEL_PROGRAM);
    return quorvel::testing::RunProgram(args, home_.Environment(), "", 60s);
  }
  // The Message-IDs of folder A that `quorvel classify` calls spam.
  std::set<std::string> SpamOfA() const {
    ProgramRun judged = Quorvel({"classify", (maildir_ / ".Eval.A").string()});
    std::set<std::string> spam;
    std::istringstream lines(judged.out);
    for (std::string line; std::getline(lines, line);) {
      if (line.find("\tspam\t") == std::string::npos) continue;
      std::ifstream in(line.substr(0, line.find('\t')));
      std::string first;
      std::getline(in, first);
      spam.insert(first.substr(13, first.find('>') - 13));
    }
    return spam;
  }

  quorvel::testing::TemporaryHome home_;
  fs::path maildir_;
  std::size_t inB_ = 0;
};

TEST_F(CheckTerminalTest, CtrlCCancelsTheCheckKeepsWhatWasMovedAndLosesNothing) {
  const auto before = Census(maildir_);
  const std::set<std::string> spamOfA = SpamOfA();
  ASSERT_FALSE(spamOfA.empty());

  TerminalProcess check({QUORVEL_PROGRAM, "check", "--yes", "--subfolders", "Eval"},
                        home_.Environment());
  ASSERT_TRUE(check.started()) << check.error();
  // A is checked and its spam moved; B, checked next, takes far longer.
  ASSERT_TRUE(quorvel::testing::WaitUntil(
      [&] { return MessageFilesIn(maildir_ / ".Spam") >= spamOfA.size() || !check.Running(); }, 60s,
      5ms));
  ASSERT_TRUE(check.Running()) << check.Shown();
  // The progress line shows at the terminal, which a ^C is typed at.
  ASSERT_TRUE(quorvel::testing::WaitUntil(
      [&] { return check.Shown().find("Checking folder for spam") != std::string::npos; }, 30s));
  ASSERT_TRUE(check.Type("\x03"));
  const auto typed = std::chrono::steady_clock::now();

  auto end = check.Wait(30s);
  ASSERT_TRUE(end.has_value()) << check.Shown();
  EXPECT_LT(std::chrono::steady_clock::now() - typed, 5s);  // at the next message
  EXPECT_EQ(end->signal, 0);
  EXPECT_EQ(end->status, 1);  // a cancelled check
  const std::string shown = check.Shown();
  EXPECT_THAT(shown, HasSubstr("Check cancelled: "));
  // The check's own moves are no junk markings of the user's to learn from.
  EXPECT_THAT(shown, Not(HasSubstr("the user moved")));
  // Cancelled within B: fewer checked than A and B hold.
  const std::size_t at = shown.find("Check cancelled: ");
  if (at != std::string::npos) {
    EXPECT_LT(std::stoul(shown.substr(at + 17)), before.size()) << shown.substr(at);
  }

  // Every message is in exactly one folder; A's spam stays moved; of B, at most what
  // whole batches moved left it.
  const auto after = Census(maildir_);
  ASSERT_EQ(after.size(), before.size());
  std::size_t movedFromB = 0;
  for (const auto& [id, was] : before) {
    ASSERT_EQ(after.count(id), 1u) << id;
    const std::string now = after.find(id)->second;
    if (was == ".Eval.A") {
      EXPECT_EQ(now, spamOfA.count(id) ? ".Spam" : ".Eval.A") << id;
    } else if (now != was) {
      EXPECT_EQ(now, ".Spam") << id;
      ++movedFromB;
    }
  }
  EXPECT_EQ(movedFromB % 1000, 0u);
  EXPECT_LT(movedFromB, inB_);
}

}  // namespace
}  // namespace quorvel::app
