// The channel's requests for a front end that shows the host's window, and dialogs
// kept open at the client.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <sstream>

#include "host/channel_test_fixture.h"
#include "testing/wait_until.h"
#include "ui/scripted_ui.h"

namespace quorvel::host {
namespace {

using namespace std::chrono_literals;

using ::testing::ElementsAre;

// A sheet with two pages; page "list" holds three rows.
ui::Dialog Sheet() {
  ui::Dialog d;
  d.kind = "sheet";
  d.title = "Options";
  d.style = ui::DialogStyle::kSheet;
  d.pages.push_back({"general", "General", {{.kind = ui::ControlKind::kCheckBox, .id = "on"}}});
  d.pages.push_back({"list",
                     "List",
                     {{.kind = ui::ControlKind::kList,
                       .id = "rows",
                       .rows = {{"a"}, {"b"}, {"c"}},
                       .multiSelect = true}}});
  d.buttons = {ui::RoleButton(ui::ButtonRole::kOk, "OK"),
               ui::RoleButton(ui::ButtonRole::kCancel, "Cancel"),
               ui::RoleButton(ui::ButtonRole::kApply, "&Apply")};
  return d;
}

// The job: opens the sheet, takes a press, adds a row, takes another press; says what
// it saw.
int KeepOpen(JobContext& job) {
  ui::Dialog d = Sheet();
  auto session = job.presenter->Open(d);
  const std::int32_t first = session->Next();
  std::string selected;
  for (std::int32_t row : d.Find("rows")->selectedRows) selected += std::to_string(row);
  session->Update(ui::DialogChange::RowsInserted("rows", 3, {{"d"}}));
  const std::int32_t second = session->Next();
  job.out << first << " " << d.currentPage << " " << selected << " " << second;
  return 0;
}

TEST_F(ChannelTest, ADialogKeptOpenTravelsOnceAndThenOnlyItsChanges) {
  StartServer(KeepOpen);
  ui::ScriptedUi ui;
  ui.QueueDialog([](ui::Dialog& d) {
    d.currentPage = "list";
    d.Find("rows")->selectedRows = {0, 2};
    return ui::kApplyButton;
  });
  std::size_t rowsAtSecondPress = 0;
  ui.QueueDialog([&](ui::Dialog& d) {
    rowsAtSecondPress = d.Find("rows")->rows.size();
    return 1;
  });
  std::ostringstream out, err;
  auto result = Client()->Run(Request({"quorvel", "options"}), -1, ui, out, err);
  ASSERT_TRUE(result.outcome.ok()) << result.outcome.message;
  EXPECT_EQ(out.str(), std::to_string(ui::kApplyButton) + " list 02 1");
  EXPECT_EQ(rowsAtSecondPress, 4u);  // the change reached the client's open dialog
  ASSERT_EQ(ui.changes().size(), 1u);
  EXPECT_EQ(ui.changes()[0].kind, ui::ChangeKind::kRowsInserted);
}

// A window shows a sheet's pages as tabs: a box ticked on one tab and OK pressed on
// another must both reach the host.
TEST_F(ChannelTest, ASheetKeptOpenBringsBackTheValuesOfEveryTab) {
  StartServer([](JobContext& job) {
    ui::Dialog d = Sheet();
    auto session = job.presenter->Open(d);
    const std::int32_t pressed = session->Next();
    std::string selected;
    for (std::int32_t row : d.Find("rows")->selectedRows) selected += std::to_string(row);
    job.out << pressed << " " << d.currentPage << " " << d.Find("on")->checked << " " << selected;
    return 0;
  });
  ui::ScriptedUi ui;
  ui.QueueDialog([](ui::Dialog& d) {
    d.Find("on")->checked = true;  // on the General tab
    d.currentPage = "list";
    d.Find("rows")->selectedRows = {1};
    return 1;
  });
  std::ostringstream out, err;
  auto result = Client()->Run(Request({"quorvel", "options"}), -1, ui, out, err);
  ASSERT_TRUE(result.outcome.ok()) << result.outcome.message;
  EXPECT_EQ(out.str(), "1 list 1 1");
}

// What travels, frame by frame: the dialog once, then a change; and a client of the
// first minor, which knows no dialog kept open, gets the shown page for each press.
TEST_F(ChannelTest, OnlyAClientThatKeepsDialogsOpenIsSentChanges) {
  StartServer(KeepOpen);
  auto typesSeen = [&](int minor) {
    std::string error;
    platform::Socket s = platform::ConnectUnix(path_, &error);
    SendMessage(s, protocol::Hello{2, minor, "old", {}, ""});
    Next(s);
    SendMessage(s, Request({"quorvel", "options"}));
    std::vector<std::string> types;
    for (;;) {
      protocol::Decoded d = Next(s);
      if (d.kind != protocol::Decoded::kMessage) break;
      types.push_back(d.type);
      if (auto* next = std::get_if<protocol::DialogNext>(&d.message)) {
        SendMessage(s, protocol::Answer{next->id, next->question, 1, {}, "general"});
      } else if (auto* shown = std::get_if<protocol::DialogRequest>(&d.message)) {
        SendMessage(s, protocol::Answer{shown->id, shown->question, 1, {}});
      } else if (d.type == "done") {
        break;
      }
    }
    return types;
  };
  EXPECT_THAT(typesSeen(1), ElementsAre("dialog-open", "dialog-next", "dialog-change",
                                        "dialog-next", "dialog-close", "output", "done"));
  EXPECT_THAT(typesSeen(0), ElementsAre("dialog", "dialog", "output", "done"));
}

TEST_F(ChannelTest, WindowRequestsAreAnsweredOnTheUserInterfaceThreadAndClicksRunAsJobs) {
  std::thread::id answeredOn;
  std::atomic<int> clicked{0};
  loopThread_ = std::thread([this] { loop_.Run(); });
  ChannelServer::Handlers handlers;
  handlers.hello.capabilities = {"list-items", "select", "command-bars", "click"};
  handlers.window = [&](const protocol::Message& request) -> protocol::Message {
    answeredOn = std::this_thread::get_id();
    if (auto* items = std::get_if<protocol::ListItemsRequest>(&request)) {
      return protocol::ItemList{items->id, "00ab", items->folder, 7, items->first, {}};
    }
    if (auto* select = std::get_if<protocol::SelectRequest>(&request)) {
      return protocol::Error{select->id, Outcome::Of(OutcomeCode::kNotFound, "no such message")};
    }
    return protocol::CommandBarList{
        std::get<protocol::CommandBarsRequest>(request).id, {}, {{"Ctrl+Alt+F", 32775}}};
  };
  handlers.click = [&](JobContext& job, const protocol::ClickRequest& click) {
    clicked = click.command;
    return job.presenter->Show("Mark?", "Quorvel", platform::MB_YESNO) == platform::IDYES ? 0 : 4;
  };
  std::string error;
  server_ = ChannelServer::Start(path_, loop_, events_, handlers, &error);
  ASSERT_NE(server_, nullptr) << error;
  auto client = Client();

  protocol::ItemList items;
  ASSERT_TRUE(client->ListItems({0, "Inbox", 40, 20}, &items).ok());
  EXPECT_EQ(items.first, 40u);
  EXPECT_EQ(items.path, "Inbox");
  EXPECT_EQ(answeredOn, loopThread_.get_id());
  protocol::Selected selected;
  EXPECT_EQ(client->Select("Inbox", {"00"}, &selected).code, OutcomeCode::kNotFound);
  protocol::CommandBarList bars;
  ASSERT_TRUE(client->GetCommandBars(&bars).ok());
  ASSERT_EQ(bars.keys.size(), 1u);

  ui::ScriptedUi ui;
  ui.QueueAnswer(platform::IDNO);
  std::ostringstream out, err;
  auto result = client->Click({0, 32776, "", {}, true, false}, ui, out, err);
  ASSERT_TRUE(result.outcome.ok()) << result.outcome.message;
  EXPECT_EQ(result.status, 4);
  EXPECT_EQ(clicked, 32776);
  EXPECT_THAT(ui.texts(), ::testing::Contains("Mark?"));
}

TEST_F(ChannelTest, AClientThatAskedTheWindowLeavingIsToldOnTheUserInterfaceThread) {
  std::atomic<int> gone{0};
  std::atomic<bool> onLoop{false};
  loopThread_ = std::thread([this] { loop_.Run(); });
  ChannelServer::Handlers handlers;
  handlers.hello.capabilities = {"status", "list-items"};
  handlers.status = [] { return protocol::Status{}; };
  handlers.window = [](const protocol::Message& request) -> protocol::Message {
    const auto& items = std::get<protocol::ListItemsRequest>(request);
    return protocol::ItemList{items.id, "00ab", items.folder, 7, items.first, {}};
  };
  handlers.windowClientGone = [&] {
    onLoop = std::this_thread::get_id() == loopThread_.get_id();
    ++gone;
  };
  std::string error;
  server_ = ChannelServer::Start(path_, loop_, events_, handlers, &error);
  ASSERT_NE(server_, nullptr) << error;

  // A client that asked the window nothing leaves: nothing to let go.
  auto asker = Client();
  protocol::Status status;
  ASSERT_TRUE(asker->QueryStatus(&status).ok());
  asker.reset();
  ASSERT_TRUE(quorvel::testing::WaitUntil([&] { return server_->clients() == 0; }, 10s));
  EXPECT_EQ(gone.load(), 0);

  auto pager = Client();
  protocol::ItemList items;
  ASSERT_TRUE(pager->ListItems({0, "Inbox", 0, 20}, &items).ok());
  EXPECT_EQ(gone.load(), 0);  // not while it stays
  pager.reset();
  EXPECT_TRUE(quorvel::testing::WaitUntil([&] { return gone.load() == 1; }, 10s));
  EXPECT_TRUE(onLoop.load());
}

// A host of the first minor serves none of these: the client says so and what to do,
// without sending anything the host would refuse.
TEST_F(ChannelTest, AnOlderHostIsNamedWithWhatToDo) {
  StartServer([](JobContext&) { return 0; });  // offers no window requests
  auto client = Client();
  protocol::ItemList items;
  Outcome o = client->ListItems({0, "Inbox"}, &items);
  EXPECT_EQ(o.code, OutcomeCode::kRefused);
  EXPECT_THAT(o.message, ::testing::HasSubstr("restart the host: systemctl --user restart"));
  ui::ScriptedUi ui;
  std::ostringstream out, err;
  EXPECT_EQ(client->Click({0, 32775}, ui, out, err).outcome.code, OutcomeCode::kRefused);
  protocol::Status status;
  EXPECT_TRUE(client->QueryStatus(&status).ok());  // the connection goes on

  // A client that asks all the same is told so, and may go on.
  platform::Socket raw = Raw();
  SendMessage(raw, protocol::ListItemsRequest{4, "Inbox"});
  protocol::Decoded d = Next(raw);
  ASSERT_TRUE(std::holds_alternative<protocol::Error>(d.message)) << d.type;
  EXPECT_EQ(std::get<protocol::Error>(d.message).id, 4u);
  EXPECT_THAT(std::get<protocol::Error>(d.message).outcome.message,
              ::testing::HasSubstr("does not serve \"list-items\""));
  SendMessage(raw, protocol::StatusRequest{5});
  EXPECT_TRUE(std::holds_alternative<protocol::Status>(Next(raw).message));
}

}  // namespace
}  // namespace quorvel::host
