#include <gtest/gtest.h>

#include "host/protocol.h"

namespace quorvel::host::protocol {
namespace {

std::string Body(const Message& m) { return Encode(m).substr(4); }

// These texts are what docs/protocol.md shows for a front end.
TEST(ProtocolWindowTest, WindowMessagesEncodeToTheDocumentedText) {
  struct Case {
    Message message;
    std::string text;
  };
  ItemList items{8, "00ab", "Inbox", 5000, 100, {}};
  items.items.push_back(
      {"00cd", "Inbox/7.42", "Ann", "ann@example.org", "Hi", 1767268800, true, 2048});
  CommandBarList bars{9, {}, {{"Ctrl+Alt+F", 32775}}};
  Bar bar{"Quorvel", 1, true, 0, 0, 0, {}};
  bar.controls.push_back({"button",
                          "&Good E-mail",
                          "Good",
                          "Ctrl+Alt+A",
                          "Quorvel-Item-32775",
                          32775,
                          "",
                          true,
                          true,
                          false,
                          {}});
  bars.bars.push_back(bar);
  const Case cases[] = {
      {ListItemsRequest{8, "Inbox", 100, 50},
       R"({"count":50,"first":100,"folder":"Inbox","id":8,"type":"list-items"})"},
      {items,
       R"({"first":100,"folder":"00ab","id":8,"items":[{"id":"00cd","name":"Inbox/7.42",)"
       R"("read":true,"received":1767268800,"senderAddress":"ann@example.org","senderName":"Ann",)"
       R"("size":2048,"subject":"Hi"}],"path":"Inbox","total":5000,"type":"items"})"},
      {SelectRequest{3, "", {"00cd"}}, R"({"folder":"","id":3,"items":["00cd"],"type":"select"})"},
      {CommandBarsRequest{9}, R"({"id":9,"type":"get-command-bars"})"},
      {bars,
       R"({"bars":[{"controls":[{"beginGroup":false,"caption":"&Good E-mail","command":32775,)"
       R"("enabled":true,"shortcut":"Ctrl+Alt+A","tag":"Quorvel-Item-32775","tooltip":"Good",)"
       R"("type":"button","visible":true}],"left":0,"name":"Quorvel","position":1,"rowIndex":0,)"
       R"("top":0,"visible":true}],"id":9,"keys":[{"command":32775,"keys":"Ctrl+Alt+F"}],)"
       R"("type":"command-bars"})"},
      {ClickRequest{10, 32775, "", {}, true, false},
       R"({"command":32775,"folder":"","id":10,"interactive":true,"items":[],"type":"click","yes":false})"},
      {DialogNext{10, 2}, R"({"id":10,"question":2,"type":"dialog-next"})"},
      {DialogChangeMessage{10, 2, ui::DialogChange::RowsRemoved("senders", 3, 1)},
       R"({"change":{"control":"senders","count":1,"first":3,"kind":"rows-removed"},"id":10,)"
       R"("question":2,"type":"dialog-change"})"},
      {Answer{10, 2, 0x3021, {}, "black"},
       R"({"button":12321,"id":10,"page":"black","question":2,"type":"answer"})"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Body(c.message), c.text);
    Decoded back = Decode(c.text);
    ASSERT_EQ(back.kind, Decoded::kMessage) << back.error << " " << c.text;
    EXPECT_EQ(Body(back.message), c.text);
  }
}

TEST(ProtocolWindowTest, PopupsComeBackNestedAndAnUnknownControlTypeIsKept) {
  CommandBarList bars{1, {}, {}};
  Bar menu{"Menu Bar", 6, true, 0, 0, 0, {}};
  BarControl popup{"popup", "&Quorvel"};
  popup.controls.push_back({"button", "&Help", "", "", "", 32788});
  popup.controls.push_back({"gallery", "x"});
  menu.controls.push_back(popup);
  bars.bars.push_back(menu);
  Decoded back = Decode(Body(bars));
  ASSERT_EQ(back.kind, Decoded::kMessage) << back.error;
  const auto& again = std::get<CommandBarList>(back.message);
  ASSERT_EQ(again.bars[0].controls[0].controls.size(), 2u);
  EXPECT_EQ(again.bars[0].controls[0].controls[0].command, 32788);
  EXPECT_EQ(again.bars[0].controls[0].controls[1].type, "gallery");
}

TEST(ProtocolWindowTest, BrokenWindowMessagesAreRefusedWithAReason) {
  std::string deep = R"({"type":"command-bars","bars":[{"controls":)";
  for (int i = 0; i < 5; ++i) deep += R"([{"type":"popup","controls":)";
  deep += "[]";
  for (int i = 0; i < 5; ++i) deep += "}]";
  deep += "}]}";
  const std::string cases[] = {
      R"({"type":"list-items","id":1,"first":-1})",
      R"({"type":"items","id":1,"items":{"id":"x"}})",
      R"({"type":"items","id":1,"items":[{"received":"today"}]})",
      R"({"type":"select","id":1,"items":"00cd"})",
      R"({"type":"command-bars","id":1,"bars":[{"controls":[{"command":"32775"}]}]})",
      R"({"type":"command-bars","id":1,"keys":[{"keys":1}]})",
      R"({"type":"click","id":1,"command":1.5})",
      R"({"type":"dialog-open","id":1,"question":1})",
      R"({"type":"dialog-change","id":1,"question":1,"change":{"kind":"explode"}})",
      R"({"type":"answer","id":1,"question":1,"page":3})",
      deep,
  };
  for (const std::string& body : cases) {
    Decoded d = Decode(body);
    EXPECT_EQ(d.kind, Decoded::kMalformed) << body;
    EXPECT_FALSE(d.error.empty()) << body;
  }
}

}  // namespace
}  // namespace quorvel::host::protocol
