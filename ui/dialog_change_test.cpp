// Changes to an open dialog: rows inserted, changed and removed with the selection and
// the keep marks following them, and changes that name what is not there refused
// without touching the dialog.
#include "ui/dialog_change.h"

#include <gtest/gtest.h>

namespace quorvel::ui {
namespace {

using Rows = std::vector<std::vector<std::string>>;

Dialog Conflicts() {
  Dialog d;
  d.controls.push_back({.kind = ControlKind::kList,
                        .id = "rows",
                        .rows = {{"a"}, {"b"}, {"c"}, {"d"}},
                        .rowChecked = {true, false, true, false},
                        .multiSelect = true,
                        .selectedRows = {1, 3}});
  d.controls.push_back({.kind = ControlKind::kChoice, .id = "level", .options = {"x", "y"}});
  d.buttons = {{.id = 1, .text = "OK"}};
  d.pages = {{.id = "one"}, {.id = "two"}};
  return d;
}

std::string Cells(const Control& list) {
  std::string out;
  for (std::size_t i = 0; i < list.rows.size(); ++i) {
    out += list.rows[i][0];
    if (!list.rowChecked.empty()) out += list.rowChecked[i] ? "+" : "-";
  }
  return out;
}

TEST(DialogChangeTest, RowChangesKeepSelectionAndMarksWithTheirRows) {
  struct Case {
    const char* name;
    DialogChange change;
    std::string cells;
    std::vector<std::int32_t> selected;
  } cases[] = {
      {"insert in the middle shifts the selection after it",
       DialogChange::RowsInserted("rows", 1, Rows{{"x"}, {"y"}}, {true, true}),
       "a+x+y+b-c+d-",
       {3, 5}},
      {"insert at the end without marks adds cleared marks",
       DialogChange::RowsInserted("rows", 4, Rows{{"z"}}),
       "a+b-c+d-z-",
       {1, 3}},
      {"insert at the start",
       DialogChange::RowsInserted("rows", 0, Rows{{"z"}}),
       "z-a+b-c+d-",
       {2, 4}},
      {"change keeps the marks when none are given",
       DialogChange::RowsChanged("rows", 2, Rows{{"C"}, {"D"}}),
       "a+b-C+D-",
       {1, 3}},
      {"change with marks",
       DialogChange::RowsChanged("rows", 0, Rows{{"A"}}, {false}),
       "A-b-c+d-",
       {1, 3}},
      {"remove a selected row drops it and shifts the rest",
       DialogChange::RowsRemoved("rows", 1, 2),
       "a+d-",
       {1}},
      {"remove everything", DialogChange::RowsRemoved("rows", 0, 4), "", {}},
      {"remove nothing", DialogChange::RowsRemoved("rows", 4, 0), "a+b-c+d-", {1, 3}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Dialog d = Conflicts();
    ASSERT_TRUE(ApplyChange(d, c.change));
    EXPECT_EQ(Cells(*d.Find("rows")), c.cells);
    EXPECT_EQ(d.Find("rows")->selectedRows, c.selected);
  }
}

TEST(DialogChangeTest, ChangesThatDoNotFitAreRefusedAndChangeNothing) {
  Control badChoice{.id = "level", .selected = 2, .options = {"x", "y"}};
  badChoice.kind = ControlKind::kChoice;
  const struct Case {
    const char* name;
    DialogChange change;
  } cases[] = {
      {"no such control", DialogChange::RowsInserted("gone", 0, Rows{{"x"}})},
      {"rows of a control that is no list", DialogChange::RowsRemoved("level", 0, 0)},
      {"insert past the end", DialogChange::RowsInserted("rows", 5, Rows{{"x"}})},
      {"insert before the start", DialogChange::RowsInserted("rows", -1, Rows{{"x"}})},
      {"fewer marks than rows", DialogChange::RowsInserted("rows", 0, Rows{{"x"}, {"y"}}, {true})},
      {"change past the end", DialogChange::RowsChanged("rows", 3, Rows{{"x"}, {"y"}})},
      {"remove past the end", DialogChange::RowsRemoved("rows", 2, 3)},
      {"remove a negative count", DialogChange::RowsRemoved("rows", 2, -1)},
      {"remove with an overflowing end", DialogChange::RowsRemoved("rows", 2, 0x7fffffff)},
      {"select a row that does not exist",
       DialogChange::ControlValues(
           {.kind = ControlKind::kList, .id = "rows", .selectedRows = {4}})},
      {"a choice's option out of range", DialogChange::ControlValues(badChoice)},
      {"no such button", DialogChange::ButtonState(9, false)},
      {"no such page", DialogChange::PageShown("three")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Dialog d = Conflicts();
    EXPECT_FALSE(ApplyChange(d, c.change));
    EXPECT_EQ(Cells(*d.Find("rows")), "a+b-c+d-");
    EXPECT_EQ(d.Find("rows")->selectedRows, (std::vector<std::int32_t>{1, 3}));
    EXPECT_EQ(d.Find("level")->selected, -1);
    EXPECT_EQ(d.currentPage, "");
  }
}

TEST(DialogChangeTest, MarksCannotBeGivenToAListThatHasNone) {
  Dialog d;
  d.controls.push_back({.kind = ControlKind::kList, .id = "rows", .rows = {{"a"}}});
  EXPECT_FALSE(ApplyChange(d, DialogChange::RowsInserted("rows", 1, Rows{{"b"}}, {true})));
  EXPECT_FALSE(ApplyChange(d, DialogChange::RowsChanged("rows", 0, Rows{{"b"}}, {true})));
  EXPECT_TRUE(ApplyChange(d, DialogChange::RowsInserted("rows", 1, Rows{{"b"}})));
  EXPECT_TRUE(d.controls[0].rowChecked.empty());
  // An empty list takes marks with its first rows.
  Dialog e;
  e.controls.push_back({.kind = ControlKind::kList, .id = "rows"});
  EXPECT_TRUE(ApplyChange(e, DialogChange::RowsInserted("rows", 0, Rows{{"b"}}, {true})));
  EXPECT_EQ(e.controls[0].rowChecked, std::vector<bool>{true});
}

TEST(DialogChangeTest, ValuesButtonsAndPagesChangeInPlace) {
  Dialog d = Conflicts();
  ASSERT_TRUE(
      ApplyChange(d, DialogChange::ControlValues(
                         {.kind = ControlKind::kList, .id = "rows", .selectedRows = {2, 0, 2}})));
  EXPECT_EQ(d.Find("rows")->selectedRows, (std::vector<std::int32_t>{0, 2}));  // sorted, once
  EXPECT_EQ(d.Find("rows")->rows.size(), 4u);                                  // rows untouched
  d.Find("rows")->multiSelect = false;
  EXPECT_FALSE(
      ApplyChange(d, DialogChange::ControlValues(
                         {.kind = ControlKind::kList, .id = "rows", .selectedRows = {0, 1}})));
  ASSERT_TRUE(ApplyChange(d, DialogChange::ButtonState(1, false, true)));
  EXPECT_FALSE(d.buttons[0].enabled);
  EXPECT_EQ(d.defaultButton, 1);
  ASSERT_TRUE(ApplyChange(d, DialogChange::PageShown("two")));
  EXPECT_EQ(d.currentPage, "two");
}

}  // namespace
}  // namespace quorvel::ui
