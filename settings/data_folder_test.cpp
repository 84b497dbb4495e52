#include "settings/data_folder.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "testing/temporary_folder.h"

namespace quorvel {
namespace {

// Special folders from fields, counting how often the data folder's inputs are asked.
class FakeFolders final : public platform::SpecialFolders {
 public:
  std::string AppData() const override {
    ++asked;
    return appData;
  }
  std::string Desktop() const override {
    ++asked;
    return desktop;
  }
  std::string ModulePath() const override { return modulePath; }
  std::string DataOverride() const override { return dataOverride; }

  std::string dataOverride;
  std::string appData;
  std::string desktop;
  std::string modulePath;
  mutable std::atomic<int> asked{0};
};

TEST(DataFolderTest, FormedFromAppDataElseTheDesktopsParent) {
  struct Case {
    std::string appData;
    std::string desktop;
    std::string expected;
  };
  const Case cases[] = {
      {"/home/ann/.local/share", "/home/ann/Desktop", "/home/ann/.local/share/Veltmark/Quorvel/"},
      {"/data/", "", "/data/Veltmark/Quorvel/"},
      {"", "/home/ann/Desktop", "/home/ann/Veltmark/Quorvel/"},
      {"", "/home/ann/My Desktop/", "/home/ann/My Desktop/Veltmark/Quorvel/"},
      {"", "Desktop", ""},  // no separator: no parent
      {"", "", ""},
  };
  for (const Case& c : cases) {
    FakeFolders fake;
    fake.appData = c.appData;
    fake.desktop = c.desktop;
    DataFolders folders(fake);
    EXPECT_EQ(folders.DataFolder(), c.expected) << c.appData << " | " << c.desktop;
  }
}

TEST(DataFolderTest, TheOverrideIsTheFolderItself) {
  FakeFolders fake;
  fake.dataOverride = "/srv/mail/ann/quorvel";
  fake.appData = "/home/ann/.local/share";
  DataFolders folders(fake);
  EXPECT_EQ(folders.DataFolder(), "/srv/mail/ann/quorvel/");
  EXPECT_EQ(fake.asked, 0);  // neither HOME's folders nor the desktop's are needed
}

TEST(DataFolderTest, AskedOnceThenServedFromTheCache) {
  FakeFolders fake;
  fake.appData = "/a";
  DataFolders folders(fake);
  EXPECT_EQ(folders.DataFolder(), "/a/Veltmark/Quorvel/");
  int asked = fake.asked;
  fake.appData = "/b";
  EXPECT_EQ(folders.DataFolder(), "/a/Veltmark/Quorvel/");
  EXPECT_EQ(fake.asked, asked);
}

TEST(DataFolderTest, AnEmptyResultIsComputedAgain) {
  FakeFolders fake;
  DataFolders folders(fake);
  EXPECT_EQ(folders.DataFolder(), "");
  int asked = fake.asked;
  EXPECT_EQ(folders.DataFolder(), "");
  EXPECT_GT(fake.asked, asked);
  fake.desktop = "/home/bo/Desktop";
  EXPECT_EQ(folders.DataFolder(), "/home/bo/Veltmark/Quorvel/");
}

TEST(DataFolderTest, ConcurrentCallersAgreeAndComputeOnce) {
  FakeFolders fake;
  fake.appData = "/x";
  DataFolders folders(fake);
  std::vector<std::thread> threads;
  std::vector<std::string> results(8);
  for (int i = 0; i < 8; ++i) {
    threads.emplace_back([&, i] { results[i] = folders.DataFolder(); });
  }
  for (auto& t : threads) t.join();
  for (const auto& r : results) EXPECT_EQ(r, "/x/Veltmark/Quorvel/");
  EXPECT_EQ(fake.asked, 1);
}

class ModuleFolderTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(root_.empty()); }
  quorvel::testing::TemporaryFolder folder_{"quorvel-module"};
  std::string root_ = folder_.path();
};

TEST_F(ModuleFolderTest, InstalledExecutableFindsItsSharedFolder) {
  std::filesystem::create_directories(root_ + "/usr/bin");
  std::filesystem::create_directories(root_ + "/usr/share/quorvel");
  FakeFolders fake;
  fake.modulePath = root_ + "/usr/bin/quorvel";
  DataFolders folders(fake);
  EXPECT_EQ(folders.ModuleFolder(), root_ + "/usr/share/quorvel/");
}

TEST_F(ModuleFolderTest, OtherwiseTheExecutablesOwnFolder) {
  std::filesystem::create_directories(root_ + "/usr/bin");
  std::filesystem::create_directories(root_ + "/opt/share/quorvel");
  struct Case {
    std::string module;
    std::string expected;
  };
  const Case cases[] = {
      {root_ + "/usr/bin/quorvel", root_ + "/usr/bin/"},         // no share/quorvel beside it
      {root_ + "/build/quorvel", root_ + "/build/"},             // a build tree
      {root_ + "/opt/bin/settings_tests", root_ + "/opt/bin/"},  // another program in bin
      {"quorvel", ""},
  };
  for (const Case& c : cases) {
    FakeFolders fake;
    fake.modulePath = c.module;
    DataFolders folders(fake);
    EXPECT_EQ(folders.ModuleFolder(), c.expected) << c.module;
  }
}

TEST(DefaultDataFoldersTest, FollowsTheEnvironment) {
  std::string saved = getenv("XDG_DATA_HOME") ? getenv("XDG_DATA_HOME") : "";
  ::setenv("XDG_DATA_HOME", "/tmp/quorvel-data-home", 1);
  DataFolders folders(platform::DefaultSpecialFolders());
  EXPECT_EQ(folders.DataFolder(), "/tmp/quorvel-data-home/Veltmark/Quorvel/");
  std::string module = folders.ModuleFolder();
  ASSERT_FALSE(module.empty());
  EXPECT_EQ(module.back(), '/');
  struct stat st {};
  EXPECT_EQ(::stat((module + "settings_tests").c_str(), &st), 0) << module;
  if (saved.empty()) {
    ::unsetenv("XDG_DATA_HOME");
  } else {
    ::setenv("XDG_DATA_HOME", saved.c_str(), 1);
  }
}

}  // namespace
}  // namespace quorvel
