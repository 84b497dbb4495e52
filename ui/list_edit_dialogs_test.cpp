// A list page's Add, Edit and Remove as the user meets them: the Edit dialog's
// validation, the two confirmations and their marks, and lists left as they were
// whenever the user cancels or the addition fails.
#include "ui/list_edit_dialogs.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ui/scripted_ui.h"

namespace quorvel::ui {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Not;

constexpr platform::FileTime kNow = 133'000'000'000'000'000;

std::vector<std::string> Shown(const ContactList& list) {
  std::vector<std::string> out;
  for (const ContactPosition& p : list) out.push_back(p.Address());
  return out;
}

ScriptedUi::DialogScript Fill(std::string address, std::string name, std::int32_t button) {
  return [=](Dialog& d) {
    d.Find(kEditAddress)->text = address;
    d.Find(kEditName)->text = name;
    return button;
  };
}

struct Lists {
  ContactList white;
  StringSet whitePatterns;
  ContactList black;
  ListPageLists Page() { return {ListKind::kWhiteList, white, whitePatterns, black}; }
};

TEST(EditEntryDialogTest, RefusesEmptyAddressAndEmptyNameOfASingleAddressOnly) {
  struct Case {
    const char* address;
    const char* name;
    const char* problem;
  } cases[] = {
      {"   ", "Ann", "Empty address."}, {"a@example.org", "  ", "Empty name."},
      {"@example.org", "", ""},         {"@*.example.org", "", ""},
      {"john*@example.org", "", ""},    {"a@example.org", "Ann", ""},
  };
  for (const Case& c : cases) {
    Dialog d = EditEntryDialog(c.address, c.name);
    EXPECT_EQ(d.title, "Edit");
    EXPECT_EQ(d.validate(d, platform::IDOK), c.problem) << c.address << "|" << c.name;
  }
}

TEST(EditEntryDialogTest, AWarningAsksAgainAndTheAnswerIsTrimmed) {
  ScriptedUi ui;
  ui.QueueDialog(Fill("a@example.org", "", platform::IDOK));
  ui.QueueDialog(Fill("  a@example.org ", " Ann ", platform::IDOK));
  std::string address, name;
  ASSERT_TRUE(RunEditEntry(ui, &address, &name));
  EXPECT_EQ(address, "a@example.org");
  EXPECT_EQ(name, "Ann");
  EXPECT_THAT(ui.texts(), Contains("Empty name."));
}

TEST(AddListEntryTest, AbsorbedConfirmationListsBothAndOkLeavesTheDomain) {
  Lists l;
  l.white.AddAddress(MakeContact("a@example.org"), "A", kNow);
  l.white.AddAddress(MakeContact("b@example.org"), "B", kNow);
  ScriptedUi ui;
  std::vector<std::vector<std::string>> rows;
  ui.QueueDialog([&](Dialog& d) {
    rows = d.Find(kConfirmRows)->rows;
    return platform::IDOK;
  });
  ASSERT_TRUE(AddListEntry(ui, l.Page(), "@example.org", "", kNow));
  EXPECT_THAT(rows,
              ElementsAre(ElementsAre("A", "a@example.org"), ElementsAre("B", "b@example.org")));
  EXPECT_THAT(ui.texts(), Contains(AbsorbedText()));
  EXPECT_THAT(Shown(l.white), ElementsAre("@example.org"));
}

TEST(AddListEntryTest, ConflictMarkClearedKeepsTheEntryOnTheOppositeList) {
  for (bool keep : {false, true}) {
    Lists l;
    l.black.AddAddress(MakeContact("a@example.org"), "A", kNow);
    ScriptedUi ui;
    Dialog seen;
    ui.QueueDialog([&](Dialog& d) {
      seen = d;
      if (keep) d.Find(kConfirmRows)->rowChecked[0] = false;
      return platform::IDOK;
    });
    ASSERT_TRUE(AddListEntry(ui, l.Page(), "a@example.org", "Ann", kNow));
    EXPECT_EQ(seen.title, "Quorvel");
    EXPECT_THAT(seen.Find(kConfirmRows)->columns, ElementsAre("Name", "E-mail Address"));
    EXPECT_THAT(seen.Find(kConfirmRows)->rowChecked, ElementsAre(true));
    EXPECT_THAT(ui.texts(),
                Contains("The contacts you are trying to add to White List are already in your "
                         "Black List. The following contacts will be removed from Black List."));
    EXPECT_THAT(Shown(l.white), ElementsAre("a@example.org"));
    EXPECT_EQ(Shown(l.black).size(), keep ? 1u : 0u);
  }
}

TEST(AddListEntryTest, CancelOfEitherConfirmationChangesNothing) {
  for (int cancelAt : {0, 1}) {
    Lists l;
    l.white.AddAddress(MakeContact("a@example.org"), "A", kNow);  // absorbed
    l.black.AddDomain(MakeContact("@example.org"));               // conflict
    ScriptedUi ui;
    ui.QueueDialog(ScriptedUi::Press(cancelAt == 0 ? platform::IDCANCEL : platform::IDOK));
    ui.QueueDialog(ScriptedUi::Press(platform::IDCANCEL));
    EXPECT_FALSE(AddListEntry(ui, l.Page(), "@example.org", "", kNow));
    EXPECT_THAT(Shown(l.white), ElementsAre("a@example.org")) << cancelAt;
    EXPECT_THAT(Shown(l.black), ElementsAre("@example.org")) << cancelAt;
  }
}

TEST(AddListEntryTest, FailuresAreShownAndChangeNothing) {
  Lists l;
  l.white.AddDomain(MakeContact("@example.org"));
  ScriptedUi ui;
  EXPECT_FALSE(AddListEntry(ui, l.Page(), "a@example.org", "Ann", kNow));
  EXPECT_TRUE(AddListEntry(ui, l.Page(), "@*.example.org", "", kNow));
  EXPECT_FALSE(AddListEntry(ui, l.Page(), "@*.example.org", "", kNow));
  EXPECT_THAT(ui.texts(),
              ElementsAre("This address already exists.", "This wildcard already exists."));
  EXPECT_TRUE(l.whitePatterns.Contains("*@*.example.org"));
  EXPECT_THAT(Shown(l.white), ElementsAre("@example.org"));
}

TEST(AddListEntryTest, BlackListConflictNamesTheWhiteList) {
  ContactList black, white;
  StringSet patterns;
  white.AddAddress(MakeContact("a@example.org"), "A", kNow);
  ScriptedUi ui;
  ASSERT_TRUE(
      AddListEntry(ui, {ListKind::kBlackList, black, patterns, white}, "a@example.org", "A", kNow));
  EXPECT_THAT(ui.texts(), Contains(ConflictText(ListKind::kBlackList)));
  EXPECT_NE(ConflictText(ListKind::kBlackList), ConflictText(ListKind::kWhiteList));
  EXPECT_THAT(Shown(white), IsEmpty());
}

TEST(EditListEntryTest, CancelledOrFailedEditPutsTheEntryBack) {
  Lists l;
  l.white.AddAddress(MakeContact("a@example.org"), "Ann", kNow);
  l.white.AddAddress(MakeContact("b@example.org"), "Bob", kNow);
  ScriptedUi ui;
  Dialog seen;
  ui.QueueDialog([&](Dialog& d) {
    seen = d;
    return platform::IDCANCEL;
  });
  EXPECT_FALSE(EditListEntry(ui, l.Page(), {false, "a@example.org"}, kNow));
  EXPECT_EQ(seen.Find(kEditName)->text, "Ann");
  // Renamed to an address the list already holds: refused, the old entry stays.
  ui.QueueDialog(Fill("b@example.org", "Bob", platform::IDOK));
  EXPECT_FALSE(EditListEntry(ui, l.Page(), {false, "a@example.org"}, kNow));
  EXPECT_THAT(ui.texts(), Contains("This address already exists."));
  EXPECT_THAT(Shown(l.white), ElementsAre("a@example.org", "b@example.org"));
  // Changed into a domain: the old entry goes, the domain absorbs b@ (confirmed).
  ui.QueueDialog(Fill("c@other.org", "Cy", platform::IDOK));
  EXPECT_TRUE(EditListEntry(ui, l.Page(), {false, "a@example.org"}, kNow));
  EXPECT_THAT(Shown(l.white), ElementsAre("b@example.org", "c@other.org"));
}

TEST(EditListEntryTest, AWildcardEditedIntoItselfIsNotAlreadyThere) {
  Lists l;
  l.whitePatterns.Insert("*@*.example.org");
  ScriptedUi ui;
  ui.QueueDialog(ScriptedUi::Press(platform::IDOK));
  EXPECT_TRUE(EditListEntry(ui, l.Page(), {true, "*@*.example.org"}, kNow));
  EXPECT_THAT(ui.texts(), Not(Contains("This wildcard already exists.")));
  EXPECT_EQ(l.whitePatterns.Count(), 1u);
}

TEST(EditListEntryTest, TheDialogSpeaksUtf8AndTheListKeepsTheCodePage) {
  Lists l;
  l.white.AddAddress(MakeContact("a@example.org"), "Zo\xEB", kNow);  // "Zoë" in Windows-1252
  ScriptedUi ui;
  Dialog seen;
  ui.QueueDialog([&](Dialog& d) {
    seen = d;
    d.Find(kEditName)->text = "Zo\xC3\xAB B\xC3\xA4r";  // "Zoë Bär" typed
    return platform::IDOK;
  });
  ASSERT_TRUE(EditListEntry(ui, l.Page(), {false, "a@example.org"}, kNow));
  EXPECT_EQ(seen.Find(kEditName)->text, "Zo\xC3\xAB");
  ASSERT_EQ(Shown(l.white).size(), 1u);
  EXPECT_EQ(l.white.begin()->Entry()->name, "Zo\xEB B\xE4r");
  // A name the code page cannot hold is refused and the entry stays as it was.
  ui.QueueDialog(Fill("a@example.org", "\xE4\xB8\xAD\xE6\x96\x87", platform::IDOK));
  EXPECT_FALSE(EditListEntry(ui, l.Page(), {false, "a@example.org"}, kNow));
  ASSERT_EQ(Shown(l.white).size(), 1u);
  EXPECT_EQ(l.white.begin()->Entry()->name, "Zo\xEB B\xE4r");
}

TEST(RemoveListEntriesTest, AsksWithTheCountAndRemovesOnlyOnYes) {
  EXPECT_EQ(RemoveQuestion(1), "Are you sure you want to delete this item?");
  EXPECT_EQ(RemoveQuestion(3), "Are you sure you want to delete these 3 items?");
  Lists l;
  l.white.AddDomain(MakeContact("@example.org"));
  l.white.AddAddress(MakeContact("a@other.org"), "A", kNow);
  l.whitePatterns.Insert("x*@y.org");
  const std::vector<ListEntryRef> all = {
      {false, "@example.org"}, {false, "a@other.org"}, {true, "x*@y.org"}};
  ScriptedUi ui;
  ui.QueueAnswer(platform::IDNO);
  EXPECT_FALSE(RemoveListEntries(ui, l.Page(), all));
  EXPECT_EQ(l.white.Count(), 2u);
  // A single address under a domain entry names no row: the domain is not removed by it.
  ui.QueueAnswer(platform::IDYES);
  EXPECT_TRUE(RemoveListEntries(ui, l.Page(), {{false, "z@example.org"}}));
  EXPECT_EQ(l.white.Count(), 2u);
  ui.QueueAnswer(platform::IDYES);
  EXPECT_TRUE(RemoveListEntries(ui, l.Page(), all));
  EXPECT_TRUE(l.white.Empty());
  EXPECT_TRUE(l.whitePatterns.Empty());
  EXPECT_THAT(ui.texts(), Contains("Are you sure you want to delete these 3 items?"));
}

TEST(ConfirmAndApplyTest, WithoutAskingTakesTheDefaults) {
  ContactList white, black;
  white.AddAddress(MakeContact("a@example.org"), "A", kNow);
  black.AddAddress(MakeContact("b@example.org"), "B", kNow);
  PendingAddition pending(white, black);
  ASSERT_EQ(pending.AddDomain("@example.org"), ListEditError::kNone);
  ScriptedUi ui;
  PendingAddition::Applied applied;
  ASSERT_TRUE(ConfirmAndApply(ui, pending, ListKind::kWhiteList, kNow, &applied, /*ask=*/false));
  EXPECT_THAT(ui.shown(), IsEmpty());
  EXPECT_THAT(Shown(white), ElementsAre("@example.org"));
  EXPECT_THAT(Shown(black), IsEmpty());
}

}  // namespace
}  // namespace quorvel::ui
