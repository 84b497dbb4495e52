#include "host/wire.h"

#include <gtest/gtest.h>

namespace quorvel::host::wire {
namespace {

std::string Body(const Message& m) { return Encode(m).substr(4); }

TEST(WireTest, ADialogTravelsWithItsControlsAndButtons) {
  DialogRequest request;
  request.id = 7;
  request.dialog.kind = "confirm";
  request.dialog.title = "Junk E-mail";
  request.dialog.controls.push_back({.kind = ui::ControlKind::kList,
                                     .id = "senders",
                                     .label = "Senders",
                                     .columns = {"Name", "Address"},
                                     .rows = {{"A", "a@x"}, {"B", "b@x"}},
                                     .rowChecked = {true, false}});
  request.dialog.controls.push_back(
      {.kind = ui::ControlKind::kCheckBox, .id = "all", .label = "&All", .checked = true});
  request.dialog.buttons = {{1, "&OK"}, {2, "Cancel"}};
  request.dialog.defaultButton = 2;
  auto decoded = Decode(Body(request));
  ASSERT_TRUE(decoded);
  const auto& back = std::get<DialogRequest>(*decoded);
  EXPECT_EQ(back.id, 7u);
  EXPECT_EQ(back.dialog.title, "Junk E-mail");
  ASSERT_EQ(back.dialog.controls.size(), 2u);
  EXPECT_EQ(back.dialog.controls[0].rows[1][1], "b@x");
  EXPECT_EQ(back.dialog.controls[0].rowChecked, (std::vector<bool>{true, false}));
  EXPECT_TRUE(back.dialog.controls[1].checked);
  EXPECT_EQ(back.dialog.buttons[0].text, "&OK");
  EXPECT_EQ(back.dialog.defaultButton, 2);
}

TEST(WireTest, EveryMessageComesBackAsItWent) {
  std::vector<Message> messages = {
      wire::Run{{"quorvel", "classify", "x y"}, "/home/u", true, false},
      StatusRequest{},
      Answer{3, 6, {}},
      Cancel{9},
      Output{2, std::string("a\0b", 3)},
      MessageBox{1, "Move?", "Quorvel", 0x24},
      ProgressUpdate{4, 10, 20, "Inbox", true},
      Notice{"Quorvel", "3 spam messages"},
      OpenUrl{5, "mailto:x@example.org"},
      Done{-3},
      Status{"work", 42, 1700000000, true, 10, 3},
      Refused{"no"},
  };
  for (const Message& m : messages) {
    auto back = Decode(Body(m));
    ASSERT_TRUE(back) << m.index();
    EXPECT_EQ(Encode(*back), Encode(m)) << m.index();
  }
}

TEST(WireTest, MalformedBodiesAreRejected) {
  std::string run = Body(wire::Run{{"quorvel", "status"}, "/", false, false});
  std::string huge = run;
  huge[1] = '\xFF';  // argv count far beyond the bytes left
  huge[2] = '\xFF';
  std::string badBool = Body(wire::Run{{}, "", false, false});
  badBool[badBool.size() - 1] = 2;
  std::string badStream = Body(Output{1, "x"});
  badStream[1] = 3;
  const std::string cases[] = {
      "",                             // no tag
      std::string(1, '\x63'),         // unknown tag
      run.substr(0, run.size() - 1),  // truncated
      run + "x",                      // trailing bytes
      huge,
      badBool,
      badStream,
  };
  for (const std::string& body : cases) {
    EXPECT_FALSE(Decode(body)) << testing::PrintToString(body);
  }
}

}  // namespace
}  // namespace quorvel::host::wire
