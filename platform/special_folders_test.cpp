#include "platform/special_folders.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

#include "platform/file_system.h"

namespace quorvel::platform {
namespace {

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

TEST(SpecialFoldersTest, DataOverrideIsAnAbsoluteQuorvelData) {
  EnvironmentSpecialFolders folders;
  const struct {
    const char* value;
    const char* expected;
  } cases[] = {{"/srv/mail/ann/quorvel/", "/srv/mail/ann/quorvel"},
               {nullptr, ""},
               {"", ""},
               {"quorvel", ""}};
  for (const auto& c : cases) {
    ScopedEnv data("QUORVEL_DATA", c.value);
    EXPECT_EQ(folders.DataOverride(), c.expected) << (c.value ? c.value : "(unset)");
  }
}

TEST(SpecialFoldersTest, ModulePathIsTheRunningExecutable) {
  std::string path = DefaultSpecialFolders().ModulePath();
  ASSERT_FALSE(path.empty());
  EXPECT_EQ(path.substr(path.find_last_of('/') + 1), "platform_tests");
  EXPECT_TRUE(RealFileSystem().Exists(path));
}

}  // namespace
}  // namespace quorvel::platform
