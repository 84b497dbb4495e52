// The fixture of the channel's tests: a server on a socket in a folder of the test's
// own, its user-interface loop on a thread, clients of the library and raw ones.
#ifndef QUORVEL_HOST_CHANNEL_TEST_FIXTURE_H_
#define QUORVEL_HOST_CHANNEL_TEST_FIXTURE_H_

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "host/channel.h"
#include "host/client.h"
#include "host/frames.h"

namespace quorvel::host {

class ChannelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::path(::testing::TempDir()) /
           ("channel-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
    path_ = (dir_ / "h.sock").string();
  }
  void TearDown() override {
    server_.reset();
    if (loopThread_.joinable()) {
      loop_.Quit();
      loopThread_.join();
    }
    std::filesystem::remove_all(dir_);
  }
  void StartServer(std::function<int(JobContext&)> run, ChannelLimits limits = {}) {
    ChannelServer::Handlers handlers;
    handlers.hello.software = "test host";
    handlers.run = std::move(run);
    handlers.status = [] {
      protocol::Status s;
      s.profile = "p";
      s.state = "ready";
      return s;
    };
    std::string error;
    server_ = ChannelServer::Start(path_, loop_, events_, handlers, &error, limits);
    ASSERT_NE(server_, nullptr) << error;
    loopThread_ = std::thread([this] { loop_.Run(); });
  }
  std::unique_ptr<HostClient> Client() {
    Outcome outcome;
    auto client = HostClient::Connect(path_, {}, &outcome);
    EXPECT_TRUE(client) << outcome.message;
    return client;
  }
  static protocol::RunRequest Request(std::vector<std::string> argv) {
    protocol::RunRequest r;
    r.argv = std::move(argv);
    r.cwd = "/";
    r.interactive = true;
    return r;
  }
  // A raw connection that has said hello.
  platform::Socket Raw(bool hello = true) {
    std::string error;
    platform::Socket s = platform::ConnectUnix(path_, &error);
    EXPECT_TRUE(s.valid()) << error;
    if (hello) {
      SendMessage(s, protocol::Hello{});
      EXPECT_TRUE(std::holds_alternative<protocol::Hello>(Next(s).message));
    }
    return s;
  }
  // A client that sends a command line (request 1) and leaves its first question
  // unanswered.
  platform::Socket SilentOnAQuestion() {
    platform::Socket client = Raw();
    auto request = Request({"quorvel", "ask"});
    request.id = 1;
    SendMessage(client, request);
    EXPECT_TRUE(std::holds_alternative<protocol::MessageBox>(Next(client).message));
    return client;
  }
  static protocol::Decoded Next(platform::Socket& s) {
    std::string body;
    SetReceiveTimeout(s, 10000);
    if (ReadFrame(s, &body) != FrameRead::kOk) {
      protocol::Decoded none;
      none.error = std::strerror(errno);
      return none;
    }
    return protocol::Decode(body);
  }
  bool Serving() {
    auto client = Client();
    protocol::Status status;
    return client && client->QueryStatus(&status).ok() && status.state == "ready";
  }

  std::filesystem::path dir_;
  std::string path_;
  MessageLoop loop_;
  EventBus events_;
  std::thread loopThread_;
  std::unique_ptr<ChannelServer> server_;
};

}  // namespace quorvel::host

#endif  // QUORVEL_HOST_CHANNEL_TEST_FIXTURE_H_
