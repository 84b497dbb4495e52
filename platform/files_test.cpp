#include "platform/files.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <iterator>

#include "platform/special_folders.h"

namespace quorvel::platform {
namespace {

class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/quorvel-files-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string dir_;
};

TEST_F(FilesTest, AtomicWriteReplacesTheFileAndLeavesNoTemporary) {
  std::string path = dir_ + "/data.bin";
  std::string bytes("a\0b\xFF", 4);
  ASSERT_TRUE(WriteFileAtomic(path, bytes));
  ASSERT_TRUE(WriteFileAtomic(path, bytes + "more"));
  std::vector<std::uint8_t> read;
  ASSERT_TRUE(ReadWholeFile(path, &read));
  EXPECT_EQ(std::string(read.begin(), read.end()), bytes + "more");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 1);
}

TEST_F(FilesTest, FailuresAreReportedWithThePath) {
  std::vector<std::uint8_t> read = {1, 2};
  std::string error;
  EXPECT_FALSE(ReadWholeFile(dir_ + "/missing", &read, &error));
  EXPECT_TRUE(read.empty());
  EXPECT_NE(error.find(dir_ + "/missing"), std::string::npos) << error;
  EXPECT_FALSE(ReadWholeFile(dir_, &read, &error));  // a directory
  EXPECT_FALSE(WriteFileAtomic(dir_ + "/no/such/dir/file", "x", &error));
  EXPECT_NE(error.find("no/such/dir"), std::string::npos) << error;
}

TEST_F(FilesTest, CreateDirectoriesMakesMissingParents) {
  EXPECT_TRUE(CreateDirectories(dir_ + "/a/b/c"));
  EXPECT_TRUE(FileExists(dir_ + "/a/b/c"));
  EXPECT_TRUE(CreateDirectories(dir_ + "/a/b/c/"));  // already there
  ASSERT_TRUE(WriteFileAtomic(dir_ + "/plain", "x"));
  EXPECT_FALSE(CreateDirectories(dir_ + "/plain/sub"));
  EXPECT_FALSE(CreateDirectories(""));
}

// Sets one environment variable for a scope and restores it afterwards.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = getenv(name)) {
      old_ = old;
      hadOld_ = true;
    }
    if (value != nullptr) {
      ::setenv(name, value, 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (hadOld_) {
      ::setenv(name_, old_.c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::string old_;
  bool hadOld_ = false;
};

TEST(SpecialFoldersTest, XdgVariablesElseUnderHome) {
  EnvironmentSpecialFolders folders;
  {
    ScopedEnv home("HOME", "/home/ann");
    ScopedEnv data("XDG_DATA_HOME", nullptr);
    ScopedEnv desktop("XDG_DESKTOP_DIR", nullptr);
    EXPECT_EQ(folders.AppData(), "/home/ann/.local/share");
    EXPECT_EQ(folders.Desktop(), "/home/ann/Desktop");
  }
  {
    ScopedEnv home("HOME", "/home/ann/");
    ScopedEnv data("XDG_DATA_HOME", "/srv/data//");
    ScopedEnv desktop("XDG_DESKTOP_DIR", "relative/desk");  // relative: ignored
    EXPECT_EQ(folders.AppData(), "/srv/data");
    EXPECT_EQ(folders.Desktop(), "/home/ann/Desktop");
  }
  {
    ScopedEnv home("HOME", nullptr);
    ScopedEnv data("XDG_DATA_HOME", "");
    ScopedEnv desktop("XDG_DESKTOP_DIR", nullptr);
    EXPECT_EQ(folders.AppData(), "");
    EXPECT_EQ(folders.Desktop(), "");
  }
}

TEST(SpecialFoldersTest, ModulePathIsTheRunningExecutable) {
  std::string path = DefaultSpecialFolders().ModulePath();
  ASSERT_FALSE(path.empty());
  EXPECT_EQ(path.substr(path.find_last_of('/') + 1), "platform_tests");
  EXPECT_TRUE(FileExists(path));
}

}  // namespace
}  // namespace quorvel::platform
