#include "host/channel.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "ui/scripted_ui.h"

namespace quorvel::host {
namespace {

using platform::IDCANCEL;
using platform::IDNO;
using platform::IDYES;

class ChannelTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::path(testing::TempDir()) /
           ("channel-" + std::to_string(::getpid()) + "-" +
            testing::UnitTest::GetInstance()->current_test_info()->name());
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
  void StartServer(ChannelServer::Handlers handlers) {
    std::string error;
    server_ = ChannelServer::Start(path_, loop_, std::move(handlers), &error);
    ASSERT_NE(server_, nullptr) << error;
    loopThread_ = std::thread([this] { loop_.Run(); });
  }
  wire::Run Request(std::vector<std::string> argv) {
    return wire::Run{std::move(argv), "/", true, false};
  }

  std::filesystem::path dir_;
  std::string path_;
  MessageLoop loop_;
  std::thread loopThread_;
  std::unique_ptr<ChannelServer> server_;
};

TEST_F(ChannelTest, DialogsAreAnsweredByTheClientThatSentTheCommand) {
  std::atomic<int> hostSaw{0};
  StartServer({.run =
                   [&](const wire::Run& run, std::ostream& out, std::ostream&, int,
                       std::shared_ptr<ui::Ui> ui) {
                     hostSaw = ui->Show("Move " + run.argv[1] + "?", "Quorvel", platform::MB_YESNO);
                     ui::Dialog d;
                     d.title = "Options";
                     d.controls.push_back({.kind = ui::ControlKind::kTextBox, .id = "folder"});
                     ui->Present(d);
                     out << "folder=" << d.Find("folder")->text;
                     return 5;
                   },
               .status = nullptr});
  ui::ScriptedUi client;
  client.QueueAnswer(IDNO);
  client.QueueDialog([](ui::Dialog& d) {
    d.Find("folder")->text = "Inbox/Spam";
    return platform::IDOK;
  });
  std::ostringstream out, err;
  ClientResult result = RunInHost(path_, Request({"quorvel", "it"}), client, out, err);
  EXPECT_TRUE(result.connected);
  EXPECT_EQ(result.error, "");
  EXPECT_EQ(result.status, 5);
  EXPECT_EQ(hostSaw, IDNO);
  EXPECT_EQ(out.str(), "folder=Inbox/Spam");
  EXPECT_THAT(client.texts(), testing::Contains("Move it?"));
}

TEST_F(ChannelTest, TwoClientsAtOnceAreServedOneAfterTheOther) {
  std::atomic<int> running{0}, overlap{0};
  StartServer({.run =
                   [&](const wire::Run& run, std::ostream& out, std::ostream&, int,
                       std::shared_ptr<ui::Ui> ui) {
                     if (++running > 1) ++overlap;
                     ui->Show("question", "", platform::MB_YESNO);
                     out << run.argv[1];
                     --running;
                     return 0;
                   },
               .status = nullptr});
  std::string results[2];
  std::thread clients[2];
  for (int i = 0; i < 2; ++i) {
    clients[i] = std::thread([&, i] {
      ui::ScriptedUi ui;
      std::ostringstream out, err;
      auto r = RunInHost(path_, Request({"quorvel", "c" + std::to_string(i)}), ui, out, err);
      results[i] = r.error.empty() ? out.str() : r.error;
    });
  }
  for (auto& t : clients) t.join();
  EXPECT_EQ(results[0], "c0");
  EXPECT_EQ(results[1], "c1");
  EXPECT_EQ(overlap, 0);
}

TEST_F(ChannelTest, AClientThatLeavesMidDialogGetsItCancelledAndTheHostGoesOn) {
  std::atomic<int> answer{0};
  std::atomic<bool> progressCancelled{false};
  StartServer(
      {.run =
           [&](const wire::Run&, std::ostream&, std::ostream&, int, std::shared_ptr<ui::Ui> ui) {
             answer = ui->Show("Delete?", "", platform::MB_YESNOCANCEL);
             progressCancelled = ui->BeginProgress("Checking")->Cancelled();
             return 0;
           },
       .status = []() { return wire::Status{"p", 1, 0, true, 0, 0}; }});
  {
    std::string error;
    platform::Socket client = platform::ConnectUnix(path_, &error);
    ASSERT_TRUE(client.valid()) << error;
    ASSERT_TRUE(SendFrame(client, Request({"quorvel", "x"})));
    auto question = ReceiveFrame(client);
    ASSERT_TRUE(question);
    ASSERT_TRUE(std::holds_alternative<wire::MessageBox>(*question));
  }  // the client goes away without answering
  for (int i = 0; i < 500 && answer == 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(answer, IDCANCEL);
  EXPECT_TRUE(progressCancelled);
  std::string error;
  auto status = QueryHostStatus(path_, &error);  // still serving
  ASSERT_TRUE(status) << error;
  EXPECT_TRUE(status->ready);
}

// Long work that only writes its results (as classify does, one line per message)
// stops at its next line once its client is gone, instead of working on for nobody.
TEST_F(ChannelTest, AClientThatLeavesMidWorkStopsItAtItsNextLine) {
  std::atomic<bool> finished{false};
  std::atomic<bool> stoppedByOutput{false};
  StartServer(
      {.run =
           [&](const wire::Run&, std::ostream& out, std::ostream&, int, std::shared_ptr<ui::Ui>) {
             const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
             while (std::chrono::steady_clock::now() < deadline) {
               out << "message\tgood\tWhite List\n";
               if (!out) {
                 stoppedByOutput = true;
                 break;
               }
             }
             finished = true;
             return 0;
           },
       .status = []() { return wire::Status{"p", 1, 0, true, 0, 0}; }});
  {
    std::string error;
    platform::Socket client = platform::ConnectUnix(path_, &error);
    ASSERT_TRUE(client.valid()) << error;
    ASSERT_TRUE(SendFrame(client, Request({"quorvel", "classify"})));
    auto first = ReceiveFrame(client);
    ASSERT_TRUE(first);
    ASSERT_TRUE(std::holds_alternative<wire::Output>(*first));
  }  // the client goes away (as one interrupted with Ctrl-C does) mid-work
  for (int i = 0; i < 1000 && !finished; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(finished);
  EXPECT_TRUE(stoppedByOutput);
  std::string error;
  auto status = QueryHostStatus(path_, &error);  // still serving
  ASSERT_TRUE(status) << error;
}

// A command that reads its standard input reads the client's, passed along with the
// request, not the host's.
TEST_F(ChannelTest, TheClientsStandardInputIsTheCommands) {
  StartServer({.run =
                   [&](const wire::Run&, std::ostream& out, std::ostream&, int in,
                       std::shared_ptr<ui::Ui>) {
                     char buffer[64];
                     ssize_t n = ::read(in, buffer, sizeof buffer);
                     out << "read:" << std::string(buffer, n > 0 ? static_cast<std::size_t>(n) : 0);
                     return in >= 0 ? 0 : 1;
                   },
               .status = nullptr});
  int pipe[2];
  ASSERT_EQ(::pipe(pipe), 0);
  ASSERT_EQ(::write(pipe[1], "From: a@b.c", 11), 11);
  ::close(pipe[1]);
  ui::ScriptedUi ui;
  std::ostringstream out, err;
  ClientResult result =
      RunInHost(path_, Request({"quorvel", "classify", "-"}), ui, out, err, pipe[0]);
  ::close(pipe[0]);
  EXPECT_EQ(result.error, "");
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(out.str(), "read:From: a@b.c");
  // Without it the command has none.
  std::ostringstream out2;
  result = RunInHost(path_, Request({"quorvel", "classify", "-"}), ui, out2, err);
  EXPECT_EQ(result.status, 1);
}

// Progress travels to the client, and a client whose progress reads cancelled (its
// user pressed Cancel) cancels the work at the host.
TEST_F(ChannelTest, ProgressReachesTheClientAndItsCancelStopsTheWork) {
  std::atomic<int> steps{0};
  StartServer(
      {.run =
           [&](const wire::Run&, std::ostream&, std::ostream&, int, std::shared_ptr<ui::Ui> ui) {
             auto progress = ui->BeginProgress("Checking");
             const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
             while (!progress->Cancelled() && std::chrono::steady_clock::now() < deadline) {
               progress->Update(static_cast<std::uint64_t>(++steps), 0, "Inbox");
               std::this_thread::sleep_for(std::chrono::milliseconds(1));
             }
             return progress->Cancelled() ? 7 : 0;
           },
       .status = nullptr});
  ui::ScriptedUi client;
  client.CancelProgressAfter(2);
  std::ostringstream out, err;
  ClientResult result = RunInHost(path_, Request({"quorvel", "check"}), client, out, err);
  EXPECT_TRUE(result.connected);
  EXPECT_EQ(result.error, "");
  EXPECT_EQ(result.status, 7);
  EXPECT_THAT(client.texts(), testing::Contains("Checking"));
}

TEST_F(ChannelTest, AMalformedRequestIsRefusedAndTheHostGoesOn) {
  StartServer({.run = nullptr, .status = []() { return wire::Status{"p", 1, 0, true, 0, 0}; }});
  for (std::string garbage :
       {std::string("\x05\x00\x00\x00\x63zzzz", 9), std::string("\xFF\xFF\xFF\xFF", 4)}) {
    std::string error;
    platform::Socket client = platform::ConnectUnix(path_, &error);
    ASSERT_TRUE(client.valid());
    ASSERT_TRUE(client.SendAll(garbage.data(), garbage.size()));
    auto reply = ReceiveFrame(client);
    ASSERT_TRUE(reply);
    EXPECT_EQ(std::get<wire::Refused>(*reply).reason, "malformed request");
  }
  std::string error;
  EXPECT_TRUE(QueryHostStatus(path_, &error)) << error;
}

TEST_F(ChannelTest, AHostThatDiesMidCommandGivesTheClientAClearError) {
  // The host is a child process that dies while its command waits for an answer.
  pid_t child = ::fork();
  if (child == 0) {
    MessageLoop loop;
    std::string error;
    auto server = ChannelServer::Start(
        path_, loop,
        {.run =
             [](const wire::Run&, std::ostream&, std::ostream&, int, std::shared_ptr<ui::Ui> ui) {
               ui->Notify("", "started");
               ::_exit(9);  // dies mid-command
               return 0;
             },
         .status = nullptr},
        &error);
    if (!server) ::_exit(1);
    loop.Run();
    ::_exit(0);
  }
  // A loaded machine may take its time to start the child, and the socket's file
  // appears before the child listens on it: ask again until it answers, but not forever.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  ui::ScriptedUi ui;
  std::ostringstream out, err;
  ClientResult result = RunInHost(path_, Request({"quorvel", "x"}), ui, out, err);
  while (!result.connected && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    result = RunInHost(path_, Request({"quorvel", "x"}), ui, out, err);
  }
  // A child that never got the command would serve forever: it must not hang the test.
  ::kill(child, SIGKILL);
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(result.connected);
  EXPECT_EQ(result.error, "the host ended before the command finished");
  EXPECT_EQ(result.status, 1);
}

TEST_F(ChannelTest, APeerOfAnotherUserIsRefused) {
  if (::getuid() != 0) GTEST_SKIP() << "needs root to connect as another user";
  StartServer({.run = nullptr, .status = []() { return wire::Status{"p", 1, 0, true, 0, 0}; }});
  std::filesystem::permissions(dir_, std::filesystem::perms::all);
  pid_t child = ::fork();
  if (child == 0) {
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(2);
    std::string error;
    // The socket's mode keeps others out before any credentials are asked.
    platform::Socket denied = platform::ConnectUnix(path_, &error);
    ::_exit(denied.valid() ? 3 : 0);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  // A peer that reaches the socket anyway (it was handed a connected descriptor) is
  // refused by its credentials.
  ::chmod(path_.c_str(), 0666);
  child = ::fork();
  if (child == 0) {
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(2);
    std::string error;
    platform::Socket client = platform::ConnectUnix(path_, &error);
    if (!client.valid()) ::_exit(4);
    SendFrame(client, wire::StatusRequest{});
    auto reply = ReceiveFrame(client);
    ::_exit(reply && std::holds_alternative<wire::Refused>(*reply) ? 0 : 5);
  }
  ::waitpid(child, &status, 0);
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(ChannelTest, APathThatIsNoSocketIsLeftAloneAndAStaleSocketIsReplaced) {
  { std::ofstream(path_) << "mine"; }
  std::string error;
  EXPECT_FALSE(platform::ListenUnix(path_, &error).valid());
  EXPECT_THAT(error, testing::HasSubstr("is not a socket"));
  std::filesystem::remove(path_);
  { platform::Socket first = platform::ListenUnix(path_, &error); }  // closed, file left
  ASSERT_TRUE(std::filesystem::exists(path_));
  platform::Socket second = platform::ListenUnix(path_, &error);
  EXPECT_TRUE(second.valid()) << error;
  EXPECT_EQ(std::filesystem::status(path_).permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

}  // namespace
}  // namespace quorvel::host
