#include "host/channel.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "host/channel_test_fixture.h"
#include "host/client.h"
#include "host/frames.h"
#include "testing/wait_until.h"
#include "ui/scripted_ui.h"

namespace quorvel::host {
namespace {

using namespace std::chrono_literals;
using platform::IDCANCEL;
using platform::IDNO;

TEST_F(ChannelTest, DialogsAreAnsweredByTheClientThatSentTheCommand) {
  std::atomic<int> hostSaw{0};
  StartServer([&](JobContext& job) {
    hostSaw = job.presenter->Show("Move " + job.argv[1] + "?", "Quorvel", platform::MB_YESNO);
    ui::Dialog d;
    d.controls.push_back({.kind = ui::ControlKind::kTextBox, .id = "folder"});
    job.presenter->Present(d);
    job.out << "folder=" << d.Find("folder")->text;
    return 5;
  });
  ui::ScriptedUi ui;
  ui.QueueAnswer(IDNO);
  ui.QueueDialog([](ui::Dialog& d) {
    d.Find("folder")->text = "Inbox/Spam";
    return platform::IDOK;
  });
  std::ostringstream out, err;
  auto result = Client()->Run(Request({"quorvel", "it"}), -1, ui, out, err);
  EXPECT_TRUE(result.outcome.ok()) << result.outcome.message;
  EXPECT_EQ(result.status, 5);
  EXPECT_EQ(hostSaw, IDNO);
  EXPECT_EQ(out.str(), "folder=Inbox/Spam");
  EXPECT_THAT(ui.texts(), ::testing::Contains("Move it?"));
}

// One client sitting on a question holds up only its own command.
TEST_F(ChannelTest, AClientOnAQuestionDoesNotHoldUpAnother) {
  StartServer([&](JobContext& job) {
    if (job.argv[1] == "ask") job.presenter->Show("?", "", platform::MB_YESNO);
    job.out << job.argv[1];
    return 0;
  });
  platform::Socket stuck = SilentOnAQuestion();
  ui::ScriptedUi ui;
  std::ostringstream out, err;
  auto result = Client()->Run(Request({"quorvel", "quick"}), -1, ui, out, err);
  EXPECT_TRUE(result.outcome.ok());
  EXPECT_EQ(out.str(), "quick");
  EXPECT_TRUE(quorvel::testing::WaitUntil([&] { return server_->jobs() == 1; }, 10s));
}

TEST_F(ChannelTest, AClientThatLeavesMidDialogGetsItCancelledAndTheHostGoesOn) {
  std::atomic<int> answer{0};
  std::atomic<bool> progressCancelled{false};
  StartServer([&](JobContext& job) {
    answer = job.presenter->Show("Delete?", "", platform::MB_YESNOCANCEL);
    progressCancelled = job.presenter->BeginProgress("Checking")->Cancelled();
    return 0;
  });
  SilentOnAQuestion();  // and the client goes away without answering
  EXPECT_TRUE(quorvel::testing::WaitUntil([&] { return answer != 0; }, 10s));
  EXPECT_EQ(answer, IDCANCEL);
  EXPECT_TRUE(progressCancelled);
  EXPECT_TRUE(Serving());
}

// The user's Cancel once reached the host only with the host's next progress update, so
// work that waits between updates (a long step, a slow server) went on regardless.
TEST_F(ChannelTest, ACancelOfProgressReachesTheWorkWithoutWaitingForAnUpdate) {
  StartServer([&](JobContext& job) {
    auto progress = job.presenter->BeginProgress("Checking");
    progress->Update(1, 10, "first");
    return progress->WaitCancelled(30s) ? 9 : 0;
  });
  ui::ScriptedUi ui;
  std::ostringstream out, err;
  HostClient::RunResult result;
  std::thread client([&] { result = Client()->Run(Request({"quorvel", "x"}), -1, ui, out, err); });
  EXPECT_TRUE(quorvel::testing::WaitUntil([&] { return !ui.updates().empty(); }, 10s));
  ui.CancelProgressNow();
  client.join();
  EXPECT_TRUE(result.outcome.ok()) << result.outcome.message;
  EXPECT_EQ(result.status, 9);
}

// Progress frames are held to a few a second, however fast the work updates, and the
// last update before the progress ends still reaches the client.
TEST_F(ChannelTest, ProgressFramesAreThrottledAndTheLastIsNeverLost) {
  constexpr int kUpdates = 3000;
  StartServer([&](JobContext& job) {
    auto progress = job.presenter->BeginProgress("Checking");
    for (int i = 1; i <= kUpdates; ++i) {
      progress->Update(i, kUpdates + 1, "message " + std::to_string(i));
    }
    return 0;
  });
  ui::ScriptedUi ui;
  std::ostringstream out, err;
  auto result = Client()->Run(Request({"quorvel", "x"}), -1, ui, out, err);
  EXPECT_TRUE(result.outcome.ok()) << result.outcome.message;
  const std::vector<std::string> updates = ui.updates();
  ASSERT_FALSE(updates.empty());
  EXPECT_LT(updates.size(), 100u);
  EXPECT_EQ(updates.front(), "1/3001 message 1");
  EXPECT_EQ(updates.back(), "3000/3001 message 3000");
}

// A job whose client holds its standard input open stops reading when cancelled, and a
// job that throws is reported as failed; the host serves on.
TEST_F(ChannelTest, CancelledAndThrowingJobsEndWithTheirOutcome) {
  StartServer([&](JobContext& job) {
    if (job.argv[1] == "throw") throw std::runtime_error("boom");
    pollfd fds[2] = {{job.standardInput, POLLIN, 0}, {job.cancel->fd(), POLLIN, 0}};
    ::poll(fds, 2, 30000);
    return job.cancel->cancelled() ? 9 : 0;
  });
  ui::ScriptedUi ui;
  std::ostringstream out, err;
  auto result = Client()->Run(Request({"quorvel", "throw"}), -1, ui, out, err);
  EXPECT_EQ(result.outcome.code, OutcomeCode::kFailed);
  EXPECT_EQ(result.outcome.message, "the command failed: boom");

  int pipe[2];
  ASSERT_EQ(::pipe(pipe), 0);
  platform::Socket raw = Raw();
  auto request = Request({"quorvel", "read"});
  request.id = 4;
  request.standardInput = true;
  SendMessage(raw, request);
  raw.SendDescriptor(pipe[0]);
  EXPECT_TRUE(quorvel::testing::WaitUntil([&] { return server_->jobs() == 1; }, 10s));
  SendMessage(raw, protocol::CancelRequest{4});
  protocol::Decoded done = Next(raw);
  ASSERT_TRUE(std::holds_alternative<protocol::Done>(done.message)) << done.error;
  EXPECT_EQ(std::get<protocol::Done>(done.message).status, 9);
  EXPECT_EQ(std::get<protocol::Done>(done.message).outcome.code, OutcomeCode::kCancelled);
  ::close(pipe[0]);
  ::close(pipe[1]);
  EXPECT_TRUE(Serving());
}

TEST_F(ChannelTest, BadClientsGetAClearErrorAndTheHostGoesOn) {
  StartServer([](JobContext&) { return 0; }, {.handshakeMs = 300});
  struct Case {
    std::string bytes;
    OutcomeCode code;
    std::string says;
  };
  const Case cases[] = {
      {std::string("\x05\x00\x00\x00{zzzz", 9), OutcomeCode::kRefused, "first message"},
      {Encode(protocol::Hello{3, 1, "quorvel 9", {}, ""}), OutcomeCode::kVersionMismatch,
       "the client speaks protocol 3.1 and the host 2.2; restart the host: systemctl --user "
       "restart quorvel"},
      {Encode(protocol::StatusRequest{1}), OutcomeCode::kRefused, "hello"},
  };
  for (const Case& c : cases) {
    platform::Socket s = Raw(false);
    ASSERT_TRUE(s.SendAll(c.bytes.data(), c.bytes.size()));
    protocol::Decoded d = Next(s);
    ASSERT_TRUE(std::holds_alternative<protocol::Error>(d.message)) << c.bytes;
    EXPECT_EQ(std::get<protocol::Error>(d.message).outcome.code, c.code);
    EXPECT_THAT(std::get<protocol::Error>(d.message).outcome.message, ::testing::HasSubstr(c.says));
  }
  // After the hello: garbage and an oversized frame end the connection with an error;
  // an unknown request only gets one.
  platform::Socket s = Raw();
  SendMessage(s, protocol::Event{});  // a host's message sent by a client
  EXPECT_TRUE(std::holds_alternative<protocol::Error>(Next(s).message));
  const std::string unknown = std::string("\x1a\x00\x00\x00", 4) + R"({"type":"teleport","id":3})";
  s.SendAll(unknown.data(), unknown.size());
  protocol::Decoded d = Next(s);
  EXPECT_EQ(std::get<protocol::Error>(d.message).id, 3u);
  s.SendAll("\xff\xff\xff\xff", 4);
  d = Next(s);
  EXPECT_EQ(std::get<protocol::Error>(d.message).outcome.code, OutcomeCode::kRefused);
  // The first protocol's client gets its own kind of refusal.
  platform::Socket old = Raw(false);
  const std::string oldRun("\x05\x00\x00\x00\x01\x00\x00\x00\x00", 9);
  old.SendAll(oldRun.data(), oldRun.size());
  std::string body;
  ASSERT_EQ(ReadFrame(old, &body), FrameRead::kOk);
  EXPECT_EQ(body[0], '\x0c');
  EXPECT_THAT(body, ::testing::HasSubstr("systemctl --user restart quorvel"));
  // A client that says nothing is let go after the hello's deadline.
  platform::Socket silent = Raw(false);
  EXPECT_EQ(ReadFrame(silent, &body), FrameRead::kEnd);
  EXPECT_TRUE(Serving());
}

TEST_F(ChannelTest, TwoHundredClientsAtOnceAreServedOrToldTheHostIsBusy) {
  StartServer(
      [](JobContext& job) {
        job.out << "ok";
        return 0;
      },
      {.maxClients = 64});
  std::vector<platform::Socket> idle;
  for (int i = 0; i < 200; ++i) {
    std::string error;
    idle.push_back(platform::ConnectUnix(path_, &error));
  }
  ASSERT_TRUE(quorvel::testing::WaitUntil([&] { return server_->clients() == 64; }, 10s));
  Outcome outcome;
  auto refused = HostClient::Connect(path_, {}, &outcome);
  EXPECT_FALSE(refused);
  EXPECT_EQ(outcome.code, OutcomeCode::kBusy) << outcome.message;
  idle.clear();  // they leave: their descriptors are closed at once, the host serves again
  ASSERT_TRUE(quorvel::testing::WaitUntil([&] { return server_->clients() == 0; }, 10s));
  std::atomic<int> ok{0}, busy{0};
  std::vector<std::thread> clients;
  for (int i = 0; i < 32; ++i) {
    clients.emplace_back([&] {
      ui::ScriptedUi ui;
      std::ostringstream out, err;
      Outcome o;
      auto c = HostClient::Connect(path_, {}, &o);
      if (!c) return;
      auto r = c->Run(Request({"quorvel", "x"}), -1, ui, out, err);
      if (r.outcome.ok() && out.str() == "ok") ++ok;
      if (r.outcome.code == OutcomeCode::kBusy) ++busy;  // over the jobs' bound
    });
  }
  for (auto& t : clients) t.join();
  EXPECT_EQ(ok + busy, 32);
  EXPECT_GE(ok, 16);
}

TEST_F(ChannelTest, StopEndsStuckClientsWithinItsDeadline) {
  StartServer([](JobContext& job) {
    job.presenter->Show("never answered", "", platform::MB_OK);
    return 0;
  });
  platform::Socket stuck = SilentOnAQuestion();
  platform::Socket silent = Raw(false);  // never says hello
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(server_->Stop(1500ms), 0u);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
  // The stuck client was told why.
  protocol::Decoded d = Next(stuck);
  ASSERT_TRUE(std::holds_alternative<protocol::Event>(d.message)) << d.type << d.error;
  EXPECT_EQ(std::get<protocol::Event>(d.message).event, "stopping");
}

TEST_F(ChannelTest, SubscribersGetEventsAndASlowOneIsCutOff) {
  StartServer([](JobContext&) { return 0; }, {.eventQueue = 4});
  auto client = Client();
  ASSERT_TRUE(client->Subscribe({"spam-moved"}).ok());
  events_.Publish({"host-status", {{"state", "ready"}}});  // not subscribed
  events_.Publish({"spam-moved", {{"subject", "Win"}}});
  Outcome outcome;
  auto e = client->NextEvent(5000, &outcome);
  ASSERT_TRUE(e) << outcome.message;
  EXPECT_EQ(e->event, "spam-moved");
  EXPECT_EQ(e->fields[0], (std::pair<std::string, std::string>{"subject", "Win"}));
  // A subscriber that never reads is cut off once its queue is full; publishing never
  // waits for it.
  platform::Socket slow = Raw();
  SendMessage(slow, protocol::Subscribe{1, {"*"}});
  EXPECT_TRUE(std::holds_alternative<protocol::Subscribed>(Next(slow).message));
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 20000; ++i) events_.Publish({"x", {{"text", std::string(1000, 'x')}}});
  EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
  EXPECT_TRUE(quorvel::testing::WaitUntil([&] { return server_->clients() == 1; }, 10s));
}

// The folders are listed on the user-interface thread; a host whose user-interface
// thread has stopped still stops at once with such a request waiting.
TEST_F(ChannelTest, FoldersAreListedOnTheUserInterfaceThread) {
  std::thread::id listedOn;
  loopThread_ = std::thread([this] { loop_.Run(); });
  std::string error;
  ChannelServer::Handlers handlers;
  handlers.listFolders = [&] {
    listedOn = std::this_thread::get_id();
    return std::vector<protocol::FolderEntry>{{"00ab", "Inbox", "Inbox", 3}};
  };
  server_ = ChannelServer::Start(path_, loop_, events_, handlers, &error);
  ASSERT_NE(server_, nullptr) << error;
  std::vector<protocol::FolderEntry> folders;
  ASSERT_TRUE(Client()->ListFolders(&folders).ok());
  ASSERT_EQ(folders.size(), 1u);
  EXPECT_EQ(folders[0].items, 3);
  EXPECT_EQ(listedOn, loopThread_.get_id());

  loop_.Quit();
  loopThread_.join();
  platform::Socket waiting = Raw();
  // Read now or while the server goes: either way nothing may wait for the thread
  // that stopped.
  SendMessage(waiting, protocol::ListFoldersRequest{5});
  const auto start = std::chrono::steady_clock::now();
  server_.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
}

TEST_F(ChannelTest, TheClientTrustsOnlyAPrivateRuntimeFolder) {
  std::filesystem::create_directories(dir_ / "open");
  std::filesystem::permissions(dir_ / "open", std::filesystem::perms::all);
  ::setenv("XDG_RUNTIME_DIR", (dir_ / "open").c_str(), 1);
  std::string path;
  Outcome o = ChannelPath("p", &path);
  EXPECT_EQ(o.code, OutcomeCode::kRefused);
  EXPECT_THAT(o.message, ::testing::HasSubstr("closed to others"));
  std::filesystem::permissions(dir_ / "open", std::filesystem::perms::owner_all);
  EXPECT_TRUE(ChannelPath("p", &path).ok());
  EXPECT_EQ(path, (dir_ / "open" / "quorvel-p.sock").string());
}

TEST(ClientTextTest, OnlyWebAndMailLinksAndLocalPagesOpen) {
  for (const char* good :
       {"https://x.org/a", "HTTP://x", "mailto:a@b.c", "file:///usr/share/quorvel/quorvel.html"}) {
    EXPECT_TRUE(IsOpenableUrl(good)) << good;
  }
  for (const char* bad :
       {"file:///etc/passwd", "javascript:x", "https://x\x1b]8;;", "https://x\nfile:///etc", "",
        "ftp://x", "/usr/bin/xterm", "file:///tmp/run.desktop", "file:///tmp/x.html?y",
        "file://host/x.html"}) {
    EXPECT_FALSE(IsOpenableUrl(bad)) << bad;
  }
}

TEST_F(ChannelTest, AHostThatDiesMidCommandGivesTheClientAClearError) {
  pid_t child = ::fork();
  if (child == 0) {
    MessageLoop loop;
    EventBus events;
    std::string error;
    ChannelServer::Handlers handlers;
    handlers.run = [](JobContext& job) {
      job.presenter->Notify("", "started");
      ::_exit(9);  // dies mid-command
      return 0;
    };
    auto server = ChannelServer::Start(path_, loop, events, handlers, &error);
    if (!server) ::_exit(1);
    loop.Run();
    ::_exit(0);
  }
  std::unique_ptr<HostClient> client;
  quorvel::testing::WaitUntil(
      [&] {
        Outcome o;
        client = HostClient::Connect(path_, {}, &o);
        return client != nullptr;
      },
      60s);
  ASSERT_TRUE(client);
  ui::ScriptedUi ui;
  std::ostringstream out, err;
  auto result = client->Run(Request({"quorvel", "x"}), -1, ui, out, err);
  ::kill(child, SIGKILL);
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_EQ(result.outcome.code, OutcomeCode::kUnreachable);
  EXPECT_EQ(result.outcome.message,
            "the host closed the connection while we waited for the command to finish");
  EXPECT_EQ(result.status, 1);
}

TEST_F(ChannelTest, APathThatIsNoSocketIsLeftAloneAndAStaleSocketIsReplaced) {
  { std::ofstream(path_) << "mine"; }
  std::string error;
  EXPECT_FALSE(platform::ListenUnix(path_, &error).valid());
  EXPECT_THAT(error, ::testing::HasSubstr("is not a socket"));
  std::filesystem::remove(path_);
  { platform::Socket first = platform::ListenUnix(path_, &error); }  // closed, file left
  ASSERT_TRUE(std::filesystem::exists(path_));
  platform::Socket second = platform::ListenUnix(path_, &error);
  EXPECT_TRUE(second.valid()) << error;
}

}  // namespace
}  // namespace quorvel::host
