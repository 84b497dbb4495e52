#include "mapi/imap/password_source.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "testing/wait_until.h"

namespace quorvel::mapi::imap {
namespace {

class PasswordSourceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "qvpw-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string Write(const std::string& name, const std::string& text, mode_t mode) {
    std::string path = dir_ + "/" + name;
    std::ofstream(path) << text;
    ::chmod(path.c_str(), mode);
    return path;
  }
  std::string dir_;
};

TEST_F(PasswordSourceTest, CredentialsFileOnlyWhenPrivate) {
  struct Case {
    const char* text;
    mode_t mode;
    const char* password;  // nullptr: refused
    const char* why;
  } cases[] = {
      {"hunter2\n", 0600, "hunter2", ""},        {"hunter2\r\nsecond line\n", 0400, "hunter2", ""},
      {"no newline", 0600, "no newline", ""},    {"hunter2\n", 0640, nullptr, "chmod 600"},
      {"hunter2\n", 0604, nullptr, "chmod 600"}, {"\nhunter2\n", 0600, nullptr, "no password"},
      {"", 0600, nullptr, "no password"},
  };
  int i = 0;
  for (const Case& c : cases) {
    std::string path = Write("cred" + std::to_string(i++), c.text, c.mode);
    std::string error;
    auto password = ReadPassword(PasswordSource{path, ""}, &error);
    if (c.password) {
      ASSERT_TRUE(password) << error;
      EXPECT_EQ(*password, c.password);
    } else {
      EXPECT_FALSE(password);
      EXPECT_NE(error.find(c.why), std::string::npos) << error;
    }
  }
  std::string error;
  EXPECT_FALSE(ReadPassword(PasswordSource{dir_ + "/missing", ""}, &error));
  EXPECT_NE(error.find("missing"), std::string::npos) << error;
  EXPECT_FALSE(ReadPassword(PasswordSource{dir_, ""}, &error));  // a directory
  EXPECT_FALSE(ReadPassword(PasswordSource{}, &error));
}

TEST_F(PasswordSourceTest, CommandPrintsThePassword) {
  std::string error;
  auto password = ReadPassword(PasswordSource{"", "printf 'from command\\nrest'"}, &error);
  ASSERT_TRUE(password) << error;
  EXPECT_EQ(*password, "from command");
  // The command wins over a file that is also set.
  password = ReadPassword(PasswordSource{dir_ + "/missing", "echo x"}, &error);
  ASSERT_TRUE(password) << error;
  EXPECT_EQ(*password, "x");

  EXPECT_FALSE(ReadPassword(PasswordSource{"", "echo pw; exit 3"}, &error));
  EXPECT_NE(error.find("exit status 3"), std::string::npos) << error;
  EXPECT_FALSE(ReadPassword(PasswordSource{"", "true"}, &error));
  EXPECT_NE(error.find("printed no password"), std::string::npos) << error;
  // Its arguments may be secrets too: a failure names the command alone.
  EXPECT_FALSE(ReadPassword(PasswordSource{"", "sh -c 'exit 4' token-s3cret"}, &error));
  EXPECT_NE(error.find("\"sh\""), std::string::npos) << error;
  EXPECT_EQ(error.find("s3cret"), std::string::npos) << error;
  EXPECT_FALSE(ReadPassword(PasswordSource{"", "  true --token s3cret"}, &error));
  EXPECT_EQ(error, "the password command \"true\" printed no password");
  // A command that waits for input gets none rather than hanging.
  EXPECT_FALSE(ReadPassword(PasswordSource{"", "cat"}, &error));
}

// Whether the process `pid` is gone (or only a zombie nobody reaped yet).
bool Gone(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return true;
  const std::size_t close = line.rfind(')');
  return close != std::string::npos && close + 2 < line.size() && line[close + 2] == 'Z';
}

// A command that hung (a keyring waiting for a person) held the host for good, and
// its children outlived it. It has a deadline now, and its whole process group goes
// when it passes; a child left running that holds the output open does not hold up
// a command that printed its line and ended.
TEST_F(PasswordSourceTest, ACommandGetsADeadlineAndItsChildrenGoWithIt) {
  const std::string pidFile = dir_ + "/child.pid";
  PasswordSource hanging{"", "sleep 60 & echo $! > " + pidFile + "; wait"};
  hanging.timeoutSeconds = 1;
  std::string error;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(ReadPassword(hanging, &error));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(error, "the password command \"sleep\" did not finish within 1 s");
  pid_t child = 0;
  std::ifstream(pidFile) >> child;
  ASSERT_GT(child, 0);
  EXPECT_TRUE(quorvel::testing::WaitUntil([&] { return Gone(child); }, std::chrono::seconds(5)))
      << "the command's child outlived it";

  PasswordSource leaves{"", "sleep 30 & echo pw"};
  leaves.timeoutSeconds = 20;
  const auto again = std::chrono::steady_clock::now();
  auto password = ReadPassword(leaves, &error);
  ASSERT_TRUE(password) << error;
  EXPECT_EQ(*password, "pw");
  EXPECT_LT(std::chrono::steady_clock::now() - again, std::chrono::seconds(5));
}

TEST_F(PasswordSourceTest, WrittenCredentialsFileIsPrivateAndReadsBack) {
  std::string error;
  const std::string path = dir_ + "/credentials/home";
  ASSERT_TRUE(WritePasswordFile(path, "first pass", &error)) << error;
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  ASSERT_EQ(::stat((dir_ + "/credentials").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_EQ(ReadPassword(PasswordSource{path, ""}, &error).value_or(""), "first pass");

  // A file others could read is replaced by a private one.
  ::chmod(path.c_str(), 0644);
  ASSERT_TRUE(WritePasswordFile(path, "second", &error)) << error;
  EXPECT_EQ(ReadPassword(PasswordSource{path, ""}, &error).value_or(""), "second");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_ + "/credentials"), {}), 1);

  for (const char* bad : {"", "two\nlines", "cr\rhere"}) {
    EXPECT_FALSE(WritePasswordFile(path, bad, &error)) << bad;
  }
  EXPECT_EQ(ReadPassword(PasswordSource{path, ""}, &error).value_or(""), "second");
  // A path whose folder is a file.
  EXPECT_FALSE(WritePasswordFile(path + "/below", "pw", &error));
  EXPECT_NE(error.find("cannot make the folder"), std::string::npos) << error;
}

}  // namespace
}  // namespace quorvel::mapi::imap
