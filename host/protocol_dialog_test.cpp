// The JSON of dialogs with pages, button roles, enabling and multi-selection, and of
// the changes sent to a dialog kept open: exact texts for what other programs read,
// a round trip for the rest, and what a newer peer's fields and kinds become.
#include "host/protocol_dialog.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

namespace quorvel::host::protocol {
namespace {

using nlohmann::json;

TEST(ProtocolDialogTest, ChangesHaveTheseExactTexts) {
  const struct Case {
    ui::DialogChange change;
    const char* text;
  } cases[] = {
      {ui::DialogChange::RowsInserted("white", 2, {{"a@example.org", "Ann"}}, {true}),
       R"({"control":"white","first":2,"kind":"rows-inserted","rowChecked":[true],)"
       R"("rows":[["a@example.org","Ann"]]})"},
      {ui::DialogChange::RowsRemoved("white", 0, 3),
       R"({"control":"white","count":3,"first":0,"kind":"rows-removed"})"},
      {ui::DialogChange::ButtonState(0x3024, false, true),
       R"({"button":12324,"enabled":false,"kind":"button","makeDefault":true})"},
      {ui::DialogChange::PageShown("scan"), R"({"kind":"page","page":"scan"})"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ChangeJson(c.change).dump(), c.text);
    ui::DialogChange back;
    std::string error;
    ASSERT_TRUE(ChangeFromJson(json::parse(c.text), &back, &error)) << error;
    EXPECT_EQ(ChangeJson(back).dump(), c.text);
  }
}

TEST(ProtocolDialogTest, ASheetWithEveryNewFieldComesBackTheSame) {
  ui::Dialog d;
  d.style = ui::DialogStyle::kSheet;
  d.currentPage = "white";
  d.pages = {{.id = "white",
              .title = "White List",
              .controls = {{.kind = ui::ControlKind::kList,
                            .id = "white",
                            .rows = {{"a"}, {"b"}},
                            .rowChecked = {true, false},
                            .multiSelect = true,
                            .selectedRows = {0, 1}}},
              .buttons = {{.id = 100,
                           .text = "&Remove",
                           .closes = false,
                           .enabledBy = {"white", {"one", "many"}}}}}};
  d.buttons = {ui::RoleButton(ui::ButtonRole::kApply, "&Apply")};
  ui::Dialog back;
  std::string error;
  ASSERT_TRUE(DialogFromJson(DialogJson(d), &back, &error)) << error;
  EXPECT_EQ(DialogJson(back), DialogJson(d));
  EXPECT_EQ(back.buttons[0].role, ui::ButtonRole::kApply);
  EXPECT_FALSE(back.buttons[0].closes);
  EXPECT_EQ(back.pages[0].buttons[0].enabledBy.values, (std::vector<std::string>{"one", "many"}));
  EXPECT_EQ(back.Find("white")->selectedRows, (std::vector<std::int32_t>{0, 1}));
}

TEST(ProtocolDialogTest, WhatANewerPeerSendsIsReadAsTheNearestKnownThing) {
  const json newer = json::parse(R"({"style":"carousel","buttons":[{"id":5,"role":"maybe"}],
      "controls":[{"kind":"slider","id":"level","text":"5"},{"kind":"list","rows":[["a"]]}]})");
  ui::Dialog d;
  std::string error;
  ASSERT_TRUE(DialogFromJson(newer, &d, &error)) << error;
  EXPECT_EQ(d.style, ui::DialogStyle::kPlain);
  EXPECT_EQ(d.buttons[0].role, ui::ButtonRole::kPlain);
  EXPECT_EQ(d.controls[0].kind, ui::ControlKind::kOther);
  EXPECT_EQ(ui::ShownKind(d.controls[0].kind), ui::ControlKind::kLabel);
  EXPECT_TRUE(d.controls[1].rowChecked.empty()) << "a list without marks stays without";
}

TEST(ProtocolDialogTest, GroupsAndSortButtonsTravelAndAreLeftOutWhenNone) {
  ui::Dialog d;
  d.controls = {{.kind = ui::ControlKind::kLabel, .id = "spam-group", .label = "Custom Spam"},
                {.kind = ui::ControlKind::kLabel, .id = "count", .group = "spam-group"}};
  d.buttons = {{.id = 0x7412, .text = "E&dit...", .closes = false, .group = "spam-group"},
               {.id = 7, .text = "Sort by &Name", .role = ui::ButtonRole::kSort}};
  const json j = DialogJson(d);
  // What other programs read: the field and the role's name, and nothing when ungrouped.
  EXPECT_EQ(j["controls"][1]["group"], "spam-group");
  EXPECT_FALSE(j["controls"][0].contains("group"));
  EXPECT_EQ(j["buttons"][0]["group"], "spam-group");
  EXPECT_EQ(j["buttons"][1]["role"], "sort");
  EXPECT_FALSE(j["buttons"][1].contains("group"));
  ui::Dialog back;
  std::string error;
  ASSERT_TRUE(DialogFromJson(j, &back, &error)) << error;
  EXPECT_EQ(back.controls[1].group, "spam-group");
  EXPECT_EQ(back.buttons[0].group, "spam-group");
  EXPECT_EQ(back.buttons[1].role, ui::ButtonRole::kSort);
  EXPECT_EQ(DialogJson(back), j);
  // A group that is no text makes the dialog malformed, as any field of the wrong type.
  for (const char* text :
       {R"({"controls":[{"id":"a","group":3}]})", R"({"buttons":[{"id":1,"group":["a"]}]})"}) {
    SCOPED_TRACE(text);
    ui::Dialog bad;
    EXPECT_FALSE(DialogFromJson(json::parse(text), &bad, &error));
  }
}

TEST(ProtocolDialogTest, MalformedChangesAreRefusedWithWhatIsWrong) {
  for (const char* text :
       {R"({"kind":"rows-shuffled"})", R"({"kind":"page","page":7})",
        R"({"kind":"rows-removed","first":"one"})",
        R"({"kind":"rows-inserted","rows":[["a"]],"rowChecked":[1]})", R"([1,2])"}) {
    SCOPED_TRACE(text);
    ui::DialogChange change;
    std::string error;
    EXPECT_FALSE(ChangeFromJson(json::parse(text), &change, &error));
    EXPECT_FALSE(error.empty());
  }
}

}  // namespace
}  // namespace quorvel::host::protocol
