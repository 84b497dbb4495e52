#include "bayes/mailbase_seed.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "platform/memory_file_system.h"

namespace quorvel {
namespace {

constexpr const char* kModule = "/module/";
constexpr const char* kData = "/home/data/";

class MailbaseSeedTest : public ::testing::Test {
 protected:
  void SetUp() override {
    files_.PutFile("/module/Bayes.db", "table");
    files_.PutFile("/module/Bayes.raw", "counts");
  }
  std::string Bytes(const std::string& name) {
    return files_.FileBytes(std::string(kData) + name).value_or("<missing>");
  }
  platform::MemoryFileSystem files_;
};

TEST_F(MailbaseSeedTest, FirstUseCopiesTheSeedAndItsBackupsButNeverOverAFile) {
  std::string error;
  ASSERT_TRUE(BringMailbaseFiles(kData, kModule, &error, files_)) << error;
  EXPECT_EQ(Bytes("Bayes.db"), "table");
  EXPECT_EQ(Bytes("Bayes.db.bak"), "table");
  EXPECT_EQ(Bytes("Bayes.raw"), "counts");
  EXPECT_EQ(Bytes("Bayes.raw.bak"), "counts");
  EXPECT_EQ(Bytes("Bayes.raw.old"), "counts");

  // The user's own files stay, and no backup of the seed appears beside them.
  files_.PutFile(std::string(kData) + "Bayes.raw", "learned");
  files_.Remove(std::string(kData) + "Bayes.raw.bak");
  ASSERT_TRUE(BringMailbaseFiles(kData, kModule, &error, files_)) << error;
  EXPECT_EQ(Bytes("Bayes.raw"), "learned");
  EXPECT_EQ(Bytes("Bayes.raw.bak"), "<missing>");

  // No seed at all is no failure.
  platform::MemoryFileSystem empty;
  EXPECT_TRUE(BringMailbaseFiles(kData, kModule, &error, empty)) << error;
}

// A full disk while copying is said, and leaves no half-written file under the name.
TEST_F(MailbaseSeedTest, EachFailingWriteIsReportedAndLeavesNoPartialFile) {
  int n = 0;
  for (; n < 40; ++n) {
    platform::MemoryFileSystem files;
    files.PutFile("/module/Bayes.db", "table");
    files.PutFile("/module/Bayes.raw", "counts");
    files.FailCall(n, ENOSPC);
    std::string error;
    const bool brought = BringMailbaseFiles(kData, kModule, &error, files);
    if (files.ChangingCalls() <= n) {
      EXPECT_TRUE(brought) << error;
      break;
    }
    EXPECT_FALSE(brought) << "write " << n;
    EXPECT_NE(error.find("No space left on device"), std::string::npos) << error;
    for (const std::string& file : files.Files()) {
      if (file.starts_with("/module/")) continue;
      const std::string bytes = files.FileBytes(file).value_or("");
      EXPECT_TRUE(bytes == "table" || bytes == "counts") << "write " << n << ": " << file;
      EXPECT_EQ(file.find(".seed-"), std::string::npos) << "write " << n << ": " << file;
    }
  }
  EXPECT_GT(n, 5);
}

}  // namespace
}  // namespace quorvel
