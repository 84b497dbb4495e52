// What decides whether a control or a button is enabled (the one rule every front end
// follows), what a control's value is for that, and how a kind this build does not
// know is shown.
#include "ui/dialog.h"

#include <gtest/gtest.h>

namespace quorvel::ui {
namespace {

// The check-folder confirmation's shape: a box that enables a text box, which in
// turn enables a choice; a list whose selection enables Edit and Remove.
Dialog Chained() {
  Dialog d;
  d.style = DialogStyle::kSheet;
  d.pages.push_back(
      {.id = "general",
       .controls = {
           {.kind = ControlKind::kCheckBox, .id = "sub"},
           {.kind = ControlKind::kTextBox, .id = "depth", .text = "2", .enabledBy = {"sub", {"1"}}},
           {.kind = ControlKind::kChoice,
            .id = "order",
            .selected = 0,
            .options = {"a", "b"},
            .enabledBy = {"depth", {"2", "3"}}}}});
  d.pages.push_back(
      {.id = "white",
       .controls = {{.kind = ControlKind::kList,
                     .id = "rows",
                     .rows = {{"a"}, {"b"}, {"c"}},
                     .multiSelect = true}},
       .buttons = {{.id = 10, .text = "E&dit...", .closes = false, .enabledBy = {"rows", {"one"}}},
                   {.id = 11,
                    .text = "&Remove",
                    .closes = false,
                    .enabledBy = {"rows", {"one", "many"}}}}});
  return d;
}

TEST(EnabledByTest, FollowsTheValueOfTheControlNamedAcrossPagesAndChains) {
  struct Case {
    const char* name;
    std::function<void(Dialog&)> change;
    bool depth, order, edit, remove;
  } cases[] = {
      {"box cleared: its dependants and theirs are off", [](Dialog&) {}, false, false, false,
       false},
      {"box set: both on", [](Dialog& d) { d.Find("sub")->checked = true; }, true, true, false,
       false},
      {"a value not listed disables the next link",
       [](Dialog& d) {
         d.Find("sub")->checked = true;
         d.Find("depth")->text = "7";
       },
       true, false, false, false},
      {"a source switched off by its owner disables what it enables",
       [](Dialog& d) {
         d.Find("sub")->checked = true;
         d.Find("depth")->enabled = false;
       },
       false, false, false, false},
      {"one row selected: Edit and Remove", [](Dialog& d) { d.Find("rows")->selectedRows = {1}; },
       false, false, true, true},
      {"two rows selected: Remove only",
       [](Dialog& d) {
         d.Find("rows")->selectedRows = {0, 2};
       },
       false, false, false, true},
      {"a source that does not exist disables",
       [](Dialog& d) { d.pages[1].controls[0].id = "renamed"; }, false, false, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Dialog d = Chained();
    c.change(d);
    EXPECT_EQ(IsEnabled(d, *d.Find("depth")), c.depth);
    EXPECT_EQ(IsEnabled(d, *d.Find("order")), c.order);
    EXPECT_EQ(IsEnabled(d, *d.FindButton(10)), c.edit);
    EXPECT_EQ(IsEnabled(d, *d.FindButton(11)), c.remove);
  }
}

TEST(EnabledByTest, ACycleDisablesInsteadOfRecursingForever) {
  Dialog d;
  d.controls = {{.kind = ControlKind::kCheckBox, .id = "a", .enabledBy = {"b", {"0", "1"}}},
                {.kind = ControlKind::kCheckBox, .id = "b", .enabledBy = {"a", {"0", "1"}}},
                {.kind = ControlKind::kCheckBox, .id = "self", .enabledBy = {"self", {"0"}}}};
  EXPECT_FALSE(IsEnabled(d, d.controls[0]));
  EXPECT_FALSE(IsEnabled(d, d.controls[1]));
  EXPECT_FALSE(IsEnabled(d, d.controls[2]));
}

TEST(DialogModelTest, UnknownKindsShowAsLabelsAndHaveNoValue) {
  Control newer{.kind = static_cast<ControlKind>(9), .id = "slider", .text = "50"};
  EXPECT_EQ(ShownKind(newer.kind), ControlKind::kLabel);
  EXPECT_EQ(ShownKind(ControlKind::kOther), ControlKind::kLabel);
  EXPECT_EQ(ShownKind(ControlKind::kList), ControlKind::kList);
  EXPECT_EQ(ControlValue(newer), "");
}

TEST(DialogModelTest, ShownControlsAndButtonsFollowTheCurrentPage) {
  Dialog d = Chained();
  d.buttons = {RoleButton(ButtonRole::kOk, "OK")};
  EXPECT_EQ(d.ShownControls().front().id, "sub");  // no current page: the first
  d.currentPage = "white";
  EXPECT_EQ(d.ShownControls().front().id, "rows");
  std::vector<Button> shown = d.ShownButtons();
  ASSERT_EQ(shown.size(), 3u);
  EXPECT_EQ(shown[0].id, 10);
  EXPECT_EQ(shown[2].role, ButtonRole::kOk);
  d.currentPage = "gone";  // a page that does not exist: the first
  EXPECT_EQ(d.Current()->id, "general");
}

}  // namespace
}  // namespace quorvel::ui
