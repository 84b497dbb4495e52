// Several quorvel processes writing the same files at once: list imports into one
// user's settings and mail base builds into one folder. Each process is the real
// program; the test waits for their ends, never for a fixed time.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "testing/child_process.h"
#include "testing/file_bytes.h"
#include "testing/temporary_home.h"

namespace quorvel::app {
namespace {
namespace fs = std::filesystem;
using testing::ChildProcess;
using testing::TemporaryHome;
using namespace std::chrono_literals;

using quorvel::testing::Slurp;
using quorvel::testing::Spit;

class ConcurrentWritersTest : public ::testing::Test {
 protected:
  // Starts every command line at once and waits for all of them; returns their exit
  // statuses, failing the test for any that does not end.
  std::vector<int> RunTogether(const std::vector<std::vector<std::string>>& commands,
                               std::vector<std::string>* errors = nullptr) {
    std::vector<std::unique_ptr<ChildProcess>> children;
    for (const auto& args : commands) {
      std::vector<std::string> argv = {QUORVEL_PROGRAM};
      argv.insert(argv.end(), args.begin(), args.end());
      std::string error;
      children.push_back(ChildProcess::Start(argv, home_.Environment(), {}, &error));
      EXPECT_TRUE(children.back()) << error;
    }
    std::vector<int> statuses;
    for (auto& child : children) {
      if (!child) continue;
      const auto end = child->Wait(60s);
      EXPECT_TRUE(end.has_value()) << "still running after 60 s";
      statuses.push_back(end ? end->status : -1);
      if (errors != nullptr) errors->push_back(child->Errors());
    }
    return statuses;
  }

  // The entries of an exported list, one per line (CR LF ends).
  std::set<std::string> Exported(const std::string& list) {
    const fs::path out = fs::path(home_.root()) / ("export-" + list + ".txt");
    EXPECT_EQ(RunTogether({{"list", list, "export", out.string()}}), std::vector<int>{0});
    std::set<std::string> entries;
    std::string text = Slurp(out);
    std::size_t start = 0;
    while (start < text.size()) {
      std::size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      std::string line = text.substr(start, end - start);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (!line.empty()) entries.insert(line.substr(line.rfind('\t') + 1));
      start = end + 1;
    }
    return entries;
  }

  // A list file of `count` addresses at `domain`.
  std::string ListFile(const std::string& name, const std::string& domain, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += "user" + std::to_string(i) + "@" + domain + "\n";
    const fs::path path = fs::path(home_.root()) / name;
    Spit(path, text);
    return path.string();
  }

  // A folder of `count` messages whose subjects and bodies speak of `word`.
  std::string MailFolder(const std::string& name, const std::string& word, int count) {
    const fs::path folder = fs::path(home_.root()) / name;
    for (int i = 0; i < count; ++i) {
      Spit(folder / ("m" + std::to_string(i) + ".eml"),
           "From: a" + std::to_string(i) + "@example.org\nSubject: " + word + " " +
               std::to_string(i) + "\n\n" + word + " again and " + word + " once more\n");
    }
    return folder.string();
  }

  nlohmann::json Stats() {
    const testing::ProgramRun run =
        testing::RunProgram({QUORVEL_PROGRAM, "mailbase", "stats", "--json"}, home_.Environment());
    EXPECT_EQ(run.end.status, 0) << run.err;
    return nlohmann::json::parse(run.out, nullptr, false);
  }

  TemporaryHome home_;
};

TEST_F(ConcurrentWritersTest, ImportsIntoOneListAtOnceLoseNoEntry) {
  std::set<std::string> expected;
  for (int round = 0; round < 6; ++round) {
    std::vector<std::vector<std::string>> imports;
    for (int writer = 0; writer < 4; ++writer) {
      const std::string domain =
          "r" + std::to_string(round) + "w" + std::to_string(writer) + ".org";
      imports.push_back(
          {"list", "white", "import", ListFile("in" + std::to_string(writer) + ".txt", domain, 3)});
      for (int i = 0; i < 3; ++i) expected.insert("user" + std::to_string(i) + "@" + domain);
    }
    EXPECT_EQ(RunTogether(imports), std::vector<int>(4, 0));
  }
  EXPECT_EQ(Exported("white"), expected);
}

TEST_F(ConcurrentWritersTest, WhiteAndBlackListImportsAtOnceKeepBoth) {
  std::set<std::string> white, black;
  for (int round = 0; round < 6; ++round) {
    const std::string w = "white" + std::to_string(round) + ".org";
    const std::string b = "black" + std::to_string(round) + ".org";
    EXPECT_EQ(RunTogether({{"list", "white", "import", ListFile("w.txt", w, 4)},
                           {"list", "black", "import", ListFile("b.txt", b, 4)}}),
              std::vector<int>(2, 0));
    for (int i = 0; i < 4; ++i) {
      white.insert("user" + std::to_string(i) + "@" + w);
      black.insert("user" + std::to_string(i) + "@" + b);
    }
  }
  EXPECT_EQ(Exported("white"), white);
  EXPECT_EQ(Exported("black"), black);
}

TEST_F(ConcurrentWritersTest, BuildsIntoOneFolderLeaveOnePairOfOneBuild) {
  const std::string good = MailFolder("good", "agenda", 30);
  const std::string junk = MailFolder("junk", "casino", 20);
  const std::string moreGood = MailFolder("moregood", "meeting", 45);
  const std::string out = home_.DataFolder();
  for (int writers : {2, 4}) {
    SCOPED_TRACE(std::to_string(writers) + " builds at once");
    std::vector<std::vector<std::string>> builds;
    for (int i = 0; i < writers; ++i) {
      builds.push_back({"mailbase", "build", "--good", i % 2 == 0 ? good : moreGood, "--junk", junk,
                        "--out", out});
    }
    std::vector<std::string> errors;
    const std::vector<int> statuses = RunTogether(builds, &errors);
    int finished = 0;
    for (std::size_t i = 0; i < statuses.size(); ++i) {
      if (statuses[i] == 0) {
        ++finished;
      } else {
        // The one that found the folder taken says so and wrote nothing.
        EXPECT_EQ(statuses[i], 1);
        EXPECT_NE(errors[i].find("another quorvel is writing the mail base"), std::string::npos)
            << errors[i];
      }
    }
    EXPECT_GE(finished, 1);
    const nlohmann::json stats = Stats();
    ASSERT_FALSE(stats.is_discarded());
    // Bayes.raw and Bayes.db of one and the same build.
    EXPECT_EQ(stats["good_messages"], stats["table_good_messages"]);
    EXPECT_EQ(stats["junk_messages"], stats["table_junk_messages"]);
    EXPECT_TRUE(stats["good_messages"] == 30 || stats["good_messages"] == 45) << stats.dump();
    EXPECT_EQ(stats["junk_messages"], 20);
  }
}

TEST_F(ConcurrentWritersTest, ABuildThatLearnsNothingWritesNothing) {
  const std::string good = MailFolder("good", "agenda", 10);
  const std::string junk = MailFolder("junk", "casino", 10);
  const std::string out = home_.DataFolder();
  ASSERT_EQ(RunTogether({{"mailbase", "build", "--good", good, "--junk", junk, "--out", out}}),
            std::vector<int>{0});
  const std::string raw = Slurp(fs::path(out) / "Bayes.raw");
  const std::string table = Slurp(fs::path(out) / "Bayes.db");

  std::vector<std::string> errors;
  EXPECT_EQ(RunTogether({{"mailbase", "build", "--good", out + "/no-such-folder", "--junk",
                          out + "/no-such-file", "--out", out}},
                        &errors),
            std::vector<int>{1});
  EXPECT_NE(errors[0].find("nothing was written"), std::string::npos) << errors[0];
  EXPECT_EQ(Slurp(fs::path(out) / "Bayes.raw"), raw);
  EXPECT_EQ(Slurp(fs::path(out) / "Bayes.db"), table);
  EXPECT_FALSE(fs::exists(fs::path(out) / "Bayes.raw.bak"));
}

}  // namespace
}  // namespace quorvel::app
