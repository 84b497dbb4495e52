// The host as a front end meets it: a real `quorvel run` on a temporary Maildir, a
// question its background work raises answered by a client, and a window's requests
// (items, selection, command bars, a click) over the socket.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <sstream>

#include "host/client.h"
#include "testing/child_process.h"
#include "testing/file_bytes.h"
#include "testing/host_process.h"
#include "testing/temporary_home.h"
#include "testing/wait_until.h"
#include "ui/scripted_ui.h"

namespace quorvel::app {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class WindowEndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    maildir_ = fs::path(home_.root()) / "Maildir";
    for (const char* sub : {"cur", "new", "tmp"}) fs::create_directories(maildir_ / sub);
    for (int i = 0; i < 3; ++i) {
      quorvel::testing::Spit(maildir_ / ("cur/170000000" + std::to_string(i) + ".1.host:2,S"),
                             "From: Ann <ann@friends.example>\nSubject: Note " + std::to_string(i) +
                                 "\nMessage-ID: <n" + std::to_string(i) +
                                 "@friends.example>\n\nA short note about the meeting.\n");
    }
    ASSERT_EQ(host_.Quorvel({"profile", "add", "home", "--maildir", maildir_.string()}).end.status,
              0);
    ASSERT_EQ(host_.Quorvel({"register"}).end.status, 0);
    std::string error;
    ASSERT_TRUE(host_.Start(60s, &error, {}, /*serving=*/true)) << error;
  }
  void TearDown() override {
    if (!host_.Running()) return;
    auto end = host_.Stop(30s);
    ASSERT_TRUE(end);
    EXPECT_EQ(end->status, 0) << host_.Errors();
  }
  std::unique_ptr<host::HostClient> Client() {
    host::Outcome outcome;
    auto client =
        host::HostClient::Connect(home_.RuntimeDir() + "/quorvel-home.sock", {}, &outcome);
    EXPECT_TRUE(client) << outcome.message;
    return client;
  }
  std::string Pending() { return host_.Quorvel({"status", "--json"}).out; }

  quorvel::testing::TemporaryHome home_;
  quorvel::testing::HostProcess host_{QUORVEL_PROGRAM, home_, "home"};
  fs::path maildir_;
};

// A question of the host's own threads waits, counted by status, until an interactive
// client takes it; the thread that asked gets that person's answer.
TEST_F(WindowEndToEndTest, ABackgroundQuestionWaitsForAClientAndGetsItsAnswer) {
  std::string error;
  auto asking = quorvel::testing::ChildProcess::Start(
      {QUORVEL_PROGRAM, "--profile", "home", "debug", "ask"}, home_.Environment(), {}, &error);
  ASSERT_TRUE(asking) << error;
  ASSERT_TRUE(quorvel::testing::WaitUntil(
      [&] {
        // The first-run wizard, due on a fresh profile, may be offered beside it.
        const std::string pending = Pending();
        return pending.find("\"pending\":1") != std::string::npos ||
               pending.find("\"pending\":2") != std::string::npos;
      },
      30s))
      << host_.Errors();
  EXPECT_TRUE(asking->Running());  // nobody answered yet

  ui::ScriptedUi person;
  person.QueueAnswer(platform::IDNO);
  int answered = 0;
  ASSERT_TRUE(Client()->OfferPending(person, &answered).ok());
  EXPECT_GE(answered, 1);
  EXPECT_THAT(person.texts(), ::testing::Contains(::testing::HasSubstr("background work")));
  auto end = asking->Wait(30s);
  ASSERT_TRUE(end);
  EXPECT_EQ(end->status, 0) << asking->Errors();
  EXPECT_EQ(asking->Output(), "answered: No\n");
  EXPECT_NE(Pending().find("\"pending\":0"), std::string::npos);
}

TEST_F(WindowEndToEndTest, AFrontEndListsSelectsAndClicksThroughTheHostsWindow) {
  auto client = Client();
  ASSERT_TRUE(client);
  host::protocol::ItemList items;
  ASSERT_TRUE(client->ListItems({0, "Inbox", 1, 5}, &items).ok());
  EXPECT_EQ(items.total, 3);
  ASSERT_EQ(items.items.size(), 2u);  // rows 1 and 2 of 3
  host::protocol::Selected selected;
  ASSERT_TRUE(client->Select("", {items.items[0].id}, &selected).ok());
  EXPECT_THAT(selected.items, ::testing::ElementsAre(items.items[0].id));

  // A click with a command no add-in has is refused by the one command path.
  ui::ScriptedUi person;
  std::ostringstream out, err;
  auto clicked = client->Click({0, 1}, person, out, err);
  ASSERT_TRUE(clicked.outcome.ok()) << clicked.outcome.message;
  EXPECT_EQ(clicked.status, 1);
  EXPECT_THAT(err.str(), ::testing::HasSubstr("no add-in of the host has the command 1"));
}

// A window showing a folder hears when mail arrives in it.
TEST_F(WindowEndToEndTest, ASubscriberHearsOfMailArrivingInAFolder) {
  auto client = Client();
  ASSERT_TRUE(client);
  host::protocol::ItemList inbox;
  ASSERT_TRUE(client->ListItems({0, "Inbox", 0, 1}, &inbox).ok());
  ASSERT_TRUE(client->Subscribe({"folder-changed"}).ok());
  quorvel::testing::Spit(maildir_ / "new/1700000009.9.host",
                         "From: Ann <ann@friends.example>\nSubject: Later\n"
                         "Message-ID: <later@friends.example>\n\nSee you later at the office.\n");
  host::Outcome outcome;
  auto event = client->NextEvent(20000, &outcome);
  ASSERT_TRUE(event) << outcome.message << host_.Errors();
  EXPECT_EQ(event->event, "folder-changed");
  std::map<std::string, std::string> fields(event->fields.begin(), event->fields.end());
  EXPECT_EQ(fields["folder"], inbox.folder);
  EXPECT_EQ(fields["added"], "1");
}

// The add-in's toolbar as a front end sees it, customized through a click of its
// command, and its records in the registry file once the host stopped.
TEST_F(WindowEndToEndTest, TheToolbarIsBuiltCustomizedByAClickAndKept) {
  auto client = Client();
  ASSERT_TRUE(client);
  auto shown = [&] {
    host::protocol::CommandBarList bars;
    EXPECT_TRUE(client->GetCommandBars(&bars).ok());
    std::vector<std::string> captions;
    for (const auto& bar : bars.bars) {
      if (bar.name != "Quorvel") continue;
      for (const auto& c : bar.controls) {
        if (c.visible) captions.push_back(c.caption);
        EXPECT_NE(c.face.find("/* XPM */"), std::string::npos) << c.caption;
        EXPECT_NE(c.command, 0) << c.caption;
      }
    }
    return captions;
  };
  EXPECT_THAT(shown(),
              ::testing::ElementsAre("&Good E-mail", "&Junk E-mail", "&Test Message", "&Options"));
  const std::string listed = host_.Quorvel({"toolbar"}).out;
  EXPECT_THAT(listed, ::testing::HasSubstr("[x] &Good E-mail\tThe message will be used as an "
                                           "example of good mail\tCtrl+Alt+A"));
  EXPECT_THAT(listed, ::testing::HasSubstr("[ ] &Check Folder"));
  EXPECT_THAT(listed, ::testing::HasSubstr("Ctrl+Alt+F\t32775"));

  ui::ScriptedUi person;
  person.QueueDialog([](ui::Dialog& d) {
    d.Find("show-32776")->checked = false;  // Junk E-mail off
    d.Find("show-32781")->checked = true;   // Check Folder on
    return platform::IDOK;
  });
  std::ostringstream out, err;
  auto clicked = client->Click({0, 32789, "", {}, true, false}, person, out, err);
  ASSERT_TRUE(clicked.outcome.ok()) << clicked.outcome.message;
  EXPECT_EQ(clicked.status, 0) << err.str();
  EXPECT_THAT(shown(),
              ::testing::ElementsAre("&Good E-mail", "&Test Message", "&Check Folder", "&Options"));

  auto end = host_.Stop(30s);
  ASSERT_TRUE(end);
  EXPECT_EQ(end->status, 0) << host_.Errors();
  // Long hex data continues on the next line after a backslash, as the editor writes it.
  std::string registry = quorvel::testing::Slurp(home_.RegistryFile());
  for (std::size_t at; (at = registry.find("\\\n  ")) != std::string::npos;) {
    registry.erase(at, 4);
  }
  EXPECT_THAT(registry, ::testing::HasSubstr("\"ToolbarCustomization\"=hex:05,00,00,00,03,00,00,"
                                             "00,07,80,0a,80,0d,80,08,80,0e,80"));
  EXPECT_THAT(registry, ::testing::HasSubstr("\"ToolbarPosition\"=hex:fa,00,00,00,ff,ff,ff,ff,"
                                             "01,00,00,00,00,00,00,00,00,00,00,00,ff,ff,ff,ff"));
}

}  // namespace
}  // namespace quorvel::app
