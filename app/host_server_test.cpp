// The host as an application server, end to end with the real program: a client
// written in Python from docs/protocol.md alone, and SIGTERM while clients hold the
// host's commands open. Every wait has a deadline.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <iostream>
#include <map>
#include <nlohmann/json.hpp>
#include <string>

#include "host/client.h"
#include "testing/child_process.h"
#include "testing/file_bytes.h"
#include "testing/host_process.h"
#include "testing/temporary_home.h"
#include "testing/wait_until.h"

namespace quorvel::app {
namespace {
namespace fs = std::filesystem;
using namespace std::chrono_literals;
using quorvel::testing::ChildProcess;
using quorvel::testing::HostProcess;
using quorvel::testing::Spit;
using quorvel::testing::TemporaryHome;
using quorvel::testing::WaitUntil;

constexpr const char* kFromFriend =
    "From: Ann <ann@friends.example>\nTo: me@example.org\nSubject: Lunch\n"
    "Message-ID: <lunch@friends.example>\n\nShall we meet for lunch on Thursday?\n";

// Only what docs/protocol.md says: frames, hello, status, subscribe, run, events.
constexpr const char* kPythonClient = R"PY(
import json, os, socket, struct, sys
def send(s, m):
    b = json.dumps(m).encode()
    s.sendall(struct.pack("<I", len(b)) + b)
def receive(s):
    def exactly(n):
        d = b""
        while len(d) < n:
            c = s.recv(n - len(d))
            if not c:
                raise EOFError("closed")
            d += c
        return d
    (n,) = struct.unpack("<I", exactly(4))
    return json.loads(exactly(n))
s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
s.settimeout(30)
s.connect(os.path.join(os.environ["XDG_RUNTIME_DIR"], "quorvel-home.sock"))
send(s, {"type": "hello", "protocol": [2, 0], "software": "script"})
hello = receive(s)
send(s, {"type": "status", "id": 1})
status = receive(s)
send(s, {"type": "list-folders", "id": 4})
folders = [f["path"] for f in receive(s)["folders"]]
send(s, {"type": "subscribe", "id": 2, "events": ["job"]})
subscribed = receive(s)
send(s, {"type": "run", "id": 3, "argv": ["quorvel", "classify", "friend.eml"],
         "cwd": sys.argv[1]})
out, events = "", []
while True:
    m = receive(s)
    if m["type"] == "output" and m["stream"] == "out":
        out += m["text"]
    elif m["type"] == "event":
        events.append(m["event"] + ":" + m.get("state", ""))
    elif m["type"] == "done":
        done = m
        break
while "job:ended" not in events:
    m = receive(s)
    if m["type"] == "event":
        events.append(m["event"] + ":" + m.get("state", ""))
print(json.dumps({"hello": hello, "status": status, "subscribed": subscribed["type"],
                  "folders": folders,
                  "out": out, "done": done, "events": events}))
)PY";

class HostServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    maildir_ = fs::path(home_.root()) / "Maildir";
    for (const char* sub : {"cur", "new", "tmp"}) fs::create_directories(maildir_ / sub);
    fs::create_directories(fs::path(home_.root()) / "mail");
    Spit(fs::path(home_.root()) / "mail/friend.eml", kFromFriend);
    ASSERT_EQ(host_.Quorvel({"profile", "add", "home", "--maildir", maildir_.string()}).end.status,
              0);
    ASSERT_EQ(host_.Quorvel({"register"}).end.status, 0);
    std::string error;
    ASSERT_TRUE(host_.Start(30s, &error)) << error;
  }

  TemporaryHome home_;
  HostProcess host_{QUORVEL_PROGRAM, home_, "home"};
  fs::path maildir_;
};

TEST_F(HostServerTest, AClientInPythonSpeaksTheDocumentedProtocol) {
  if (::access("/usr/bin/python3", X_OK) != 0) GTEST_SKIP() << "python3 is not installed";
  const std::string script = home_.root() + "/client.py";
  Spit(script, kPythonClient);
  auto run = quorvel::testing::RunProgram({"/usr/bin/python3", script, home_.root() + "/mail"},
                                          home_.Environment(), "", 60s);
  ASSERT_EQ(run.end.status, 0) << run.err;
  nlohmann::json got = nlohmann::json::parse(run.out);
  EXPECT_EQ(got["hello"]["protocol"], nlohmann::json::array({2, 2}));
  EXPECT_EQ(got["hello"]["profile"], "home");
  EXPECT_EQ(got["status"]["state"], "ready");
  EXPECT_EQ(got["subscribed"], "subscribed");
  const auto& folders = got["folders"];
  EXPECT_NE(std::find(folders.begin(), folders.end(), "Inbox"), folders.end()) << folders;
  // The relative path was the client's: the host resolved it in the folder sent.
  EXPECT_EQ(got["out"].get<std::string>().rfind("friend.eml\t", 0), 0u) << got["out"];
  EXPECT_EQ(got["done"]["status"], 0);
  EXPECT_EQ(got["done"]["code"], "ok");
  EXPECT_EQ(got["events"], nlohmann::json::array({"job:started", "job:ended"}));
}

// A `classify -` whose standard input stays open, and a client that never says
// hello, do not keep the host from stopping: it exits 0 within 2 s with its saves.
TEST_F(HostServerTest, SigtermEndsTheHostWithinTwoSecondsWhateverItsClientsDo) {
  const std::string fifo = home_.root() + "/input";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const int writer = ::open(fifo.c_str(), O_RDWR | O_CLOEXEC);  // held open: no EOF
  ASSERT_GE(writer, 0);
  std::string error;
  ChildProcess::Options options;
  options.stdinFile = fifo;
  auto stuck = ChildProcess::Start({QUORVEL_PROGRAM, "--profile", "home", "classify", "-"},
                                   home_.Environment(), options, &error);
  ASSERT_NE(stuck, nullptr) << error;
  ASSERT_TRUE(WaitUntil(
      [&] {
        auto status = host_.Quorvel({"status", "--json"});
        return status.end.status == 0 && nlohmann::json::parse(status.out)["jobs"] == 1;
      },
      30s));
  const auto start = std::chrono::steady_clock::now();
  auto end = host_.Stop(10s);
  const auto took = std::chrono::steady_clock::now() - start;
  ::close(writer);
  ASSERT_TRUE(end);
  EXPECT_EQ(end->status, 0) << host_.Errors();
  EXPECT_LT(took, 5s);  // "within seconds", with room for a loaded machine
  std::cout << "SIGTERM to exit with a stuck client: "
            << std::chrono::duration_cast<std::chrono::milliseconds>(took).count() << " ms\n";
  EXPECT_NE(host_.Errors().find("stopped (SIGTERM)"), std::string::npos) << host_.Errors();
  auto client = stuck->Wait(10s);
  ASSERT_TRUE(client);
  EXPECT_EQ(client->status, 3);  // classify's failure, never its "spam"
  EXPECT_NE(stuck->Errors().find("the host stopped"), std::string::npos) << stuck->Errors();
}

// The filter's moves reach a subscribed client as events, with what a front end shows.
TEST_F(HostServerTest, ASubscriberHearsOfEverySpamMoved) {
  Spit(fs::path(home_.root()) / "black.txt", "Offers\tblocked.example\r\n");
  ASSERT_EQ(host_.Quorvel({"list", "black", "import", home_.root() + "/black.txt"}).end.status, 0);
  host::Outcome outcome;
  auto client = host::HostClient::Connect(home_.RuntimeDir() + "/quorvel-home.sock", {}, &outcome);
  ASSERT_TRUE(client) << outcome.message;
  ASSERT_TRUE(client->Subscribe({"spam-moved"}).ok());

  Spit(maildir_ / "tmp/1700000009.9.host",
       "From: Offers <deals@blocked.example>\nTo: me@example.org\nSubject: Your invoice\n"
       "Message-ID: <invoice@blocked.example>\n\nPlease find the invoice attached.\n");
  fs::rename(maildir_ / "tmp/1700000009.9.host", maildir_ / "new/1700000009.9.host");
  auto event = client->NextEvent(30000, &outcome);

  ASSERT_TRUE(event) << outcome.message << host_.Errors();
  EXPECT_EQ(event->event, "spam-moved");
  std::map<std::string, std::string> fields(event->fields.begin(), event->fields.end());
  EXPECT_EQ(fields["subject"], "Your invoice");
  EXPECT_EQ(fields["sender"], "deals@blocked.example");
  EXPECT_EQ(fields["message"], "<invoice@blocked.example>");
  EXPECT_EQ(fields["from"], "Inbox");
  EXPECT_EQ(fields["to"], "Spam");
}

}  // namespace
}  // namespace quorvel::app
