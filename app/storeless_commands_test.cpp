// Commands that need nothing of a profile's store (judging files and standard input,
// the lists) through the real quorvel program, with the store out of reach: a
// Maildir that is gone, an IMAP server that refuses, one that accepts and never
// greets. None of them may become a verdict: a delivery filter reads exit status 1 of
// `classify --exit-code` as "spam".
#include <arpa/inet.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "testing/child_process.h"
#include "testing/file_bytes.h"
#include "testing/temporary_home.h"

namespace quorvel::app {
namespace {

namespace fs = std::filesystem;
using quorvel::testing::ProgramRun;
using quorvel::testing::RunProgram;
using quorvel::testing::Spit;
using quorvel::testing::TemporaryHome;
using ::testing::HasSubstr;

constexpr const char* kPlain =
    "From: Ann <ann@example.org>\nTo: you@example.net\nSubject: Lunch\n\n"
    "Shall we meet for lunch on Thursday at the usual place near the office?\n";

// A TCP socket on loopback that listens and never accepts: the kernel completes the
// handshake, and nothing is ever said on the connection. With `listen` false the
// port is bound but not listening, so a connection is refused.
class SilentPort {
 public:
  explicit SilentPort(bool listen) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        (listen && ::listen(fd_, 8) != 0)) {
      ADD_FAILURE() << "no loopback port";
    }
    port_ = ntohs(address.sin_port);
  }
  ~SilentPort() { ::close(fd_); }
  SilentPort(const SilentPort&) = delete;
  SilentPort& operator=(const SilentPort&) = delete;
  int port() const { return port_; }

 private:
  int fd_ = -1;
  int port_ = 0;
};

class StorelessCommandsTest : public ::testing::Test {
 protected:
  ProgramRun Run(const std::vector<std::string>& args, const std::string& input = "") {
    std::vector<std::string> argv = {QUORVEL_PROGRAM};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunProgram(argv, home_->Environment(), input, std::chrono::seconds(60));
  }
  std::string Message() {
    const std::string path = home_->root() + "/lunch.eml";
    Spit(path, kPlain);
    return path;
  }
  std::string AddMaildirProfile() {
    const std::string maildir = home_->root() + "/Maildir";
    for (const char* sub : {"/cur", "/new", "/tmp"}) fs::create_directories(maildir + sub);
    ProgramRun add = Run({"profile", "add", "home", "--maildir", maildir});
    EXPECT_EQ(add.end.status, 0) << add.err;
    return maildir;
  }
  void AddImapProfile(int port) {
    ProgramRun add =
        Run({"profile", "add", "work", "--imap", "imaps://ann@127.0.0.1:" + std::to_string(port),
             "--password-command", "echo secret", "--no-check"});
    ASSERT_EQ(add.end.status, 0) << add.err;
  }

  std::unique_ptr<TemporaryHome> home_ = std::make_unique<TemporaryHome>();
};

// Each way of losing the store, then a message judged with --exit-code: it is judged
// (good), the run says it went without the store, and it ends at once.
TEST_F(StorelessCommandsTest, AStoreOutOfReachIsNeverAVerdict) {
  struct Case {
    const char* name;
    std::function<void()> loseStore;
  };
  SilentPort refusing(/*listen=*/false), silent(/*listen=*/true);
  const std::vector<Case> cases = {
      {"Maildir removed", [this] { fs::remove_all(AddMaildirProfile()); }},
      {"IMAP server refuses", [&] { AddImapProfile(refusing.port()); }},
      {"IMAP server never greets", [&] { AddImapProfile(silent.port()); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    home_ = std::make_unique<TemporaryHome>();
    c.loseStore();
    const auto start = std::chrono::steady_clock::now();
    ProgramRun run = Run({"classify", "--exit-code", Message()});
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    EXPECT_EQ(run.end.status, 0) << run.err;
    EXPECT_THAT(run.out, HasSubstr("\tgood\t"));
    EXPECT_THAT(run.err, HasSubstr("without its store"));

    ProgramRun fromInput = Run({"classify", "--exit-code", "-"}, kPlain);
    EXPECT_EQ(fromInput.end.status, 0) << fromInput.err;

    ProgramRun exported = Run({"list", "white", "export", home_->root() + "/white.txt"});
    EXPECT_EQ(exported.end.status, 0) << exported.err;
    EXPECT_TRUE(fs::exists(home_->root() + "/white.txt"));
  }
}

// What keeps classify from judging at all is status 3 (or 4 for the mail base), never
// the 1 of a spam verdict.
TEST_F(StorelessCommandsTest, AFailureToJudgeIsNeverStatusOne) {
  AddMaildirProfile();
  ProgramRun unknown = Run({"--profile", "nosuch", "classify", "--exit-code", Message()});
  EXPECT_EQ(unknown.end.status, 3) << unknown.err;
  EXPECT_THAT(unknown.err, HasSubstr("nosuch"));
  ProgramRun missing = Run({"classify", "--exit-code", home_->root() + "/none.eml"});
  EXPECT_EQ(missing.end.status, 3) << missing.err;
}

// A FIFO in place of the credentials file held `profile add` (and the host) in open()
// until something wrote to it.
TEST_F(StorelessCommandsTest, AFifoAsTheCredentialsFileIsRefusedAtOnce) {
  const fs::path credentials = fs::path(home_->ConfigHome()) / "Veltmark/credentials/work";
  fs::create_directories(credentials.parent_path());
  ASSERT_EQ(::mkfifo(credentials.c_str(), 0600), 0);
  const auto start = std::chrono::steady_clock::now();
  ProgramRun add = Run({"profile", "add", "work", "--imap", "imaps://ann@127.0.0.1:993"});
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
  EXPECT_EQ(add.end.status, 1) << add.err;
  EXPECT_THAT(add.err, HasSubstr("\"" + credentials.string() + "\" is not a regular file"));
}

}  // namespace
}  // namespace quorvel::app
