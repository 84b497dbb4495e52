// The options sheet: the copy made on opening, the page it opens on, OK against
// Cancel (only LastOptionsPage reaches the live record on Cancel), the spam-folder
// picker refusing a folder without mail, the list pages' sorting, enabling, import
// into one list taking entries off the other page's view, and the About page.
#include "ui/options_sheet.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <regex>

#include "platform/code_page.h"
#include "testing/temporary_folder.h"
#include "ui/about_page.h"
#include "ui/general_page.h"
#include "ui/list_edit_dialogs.h"
#include "ui/list_page.h"
#include "ui/model_session.h"
#include "ui/phrase_filter_page.h"
#include "ui/scripted_ui.h"

namespace quorvel::ui {
namespace {

using platform::IDCANCEL;
using platform::IDOK;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

class OptionsSheetTest : public ::testing::Test {
 protected:
  OptionsContext Context() { return {.live = live_, .ui = ui_, .clock = clock_}; }
  void AddWhite(const char* address, const char* name) {
    live_.Lock()->whiteList.AddAddress(MakeContact(address), name, clock_.Now());
  }

  SettingsHolder live_;
  ScriptedUi ui_;
  platform::FakeClock clock_;
};

TEST_F(OptionsSheetTest, HasSixPagesInTabOrderAndOpensAtTheLastPageShown) {
  live_.Lock()->lastOptionsPage = 3;
  OptionsSheet sheet(Context());
  std::vector<std::string> titles;
  for (const Page& page : sheet.dialog().pages) titles.push_back(page.title);
  EXPECT_THAT(titles, ElementsAre("General", "Phrase Filter", "White List", "Black List",
                                  "Safe Recipients", "About"));
  EXPECT_EQ(sheet.dialog().title, "Quorvel");
  EXPECT_EQ(sheet.dialog().currentPage, kBlackListPage);
  for (const Button& button : sheet.dialog().buttons) EXPECT_NE(button.role, ButtonRole::kApply);

  live_.Lock()->lastOptionsPage = 99;  // a damaged index opens the first page
  OptionsSheet again(Context());
  EXPECT_EQ(again.ActivePage(), 0u);
}

TEST_F(OptionsSheetTest, OkTakesEveryPagesSwitchesAndTheActivePage) {
  OptionsSheet sheet(Context());
  ui_.QueueOnPage(kGeneralPage, [](Dialog& d) {
    d.Find("MarkSpamAsRead")->checked = true;
    d.Find("TrayNotification")->checked = false;
    d.Find("CheckExternalImages")->checked = false;  // on another page, still taken
    d.currentPage = kWhiteListPage;
    return IDOK;
  });
  ASSERT_TRUE(sheet.Run());
  auto live = live_.Lock();
  EXPECT_EQ(live->markSpamAsRead, 1u);
  EXPECT_EQ(live->trayNotification, 0u);
  EXPECT_EQ(live->checkExternalImages, 0u);
  EXPECT_EQ(live->lastOptionsPage, 2u);
}

TEST_F(OptionsSheetTest, CancelAfterAnImportKeepsTheLiveListsButRemembersThePage) {
  quorvel::testing::TemporaryFolder folder;
  { std::ofstream(folder.File("in.txt"), std::ios::binary) << "Ann\tann@example.org\r\n"; }
  OptionsSheet sheet(Context());
  sheet.ShowPage(2);
  ModelSession session(sheet.dialog());
  ASSERT_TRUE(sheet.whiteList().Import(session, folder.File("in.txt")));
  EXPECT_EQ(sheet.copy().whiteList.Count(), 1u);
  sheet.Cancel();
  EXPECT_TRUE(live_.Lock()->whiteList.Empty());
  EXPECT_EQ(live_.Lock()->lastOptionsPage, 2u);
  OptionsSheet next(Context());
  EXPECT_EQ(next.dialog().currentPage, kWhiteListPage);
}

TEST_F(OptionsSheetTest, ImportIntoTheWhiteListTakesTheAddressOffTheBlackListPage) {
  live_.Lock()->blackList.AddAddress(MakeContact("ann@example.org"), "Ann", clock_.Now());
  live_.Lock()->blackList.AddAddress(MakeContact("bob@example.org"), "Bob", clock_.Now());
  quorvel::testing::TemporaryFolder folder;
  { std::ofstream(folder.File("in.txt"), std::ios::binary) << "ann@example.org\r\n"; }
  OptionsSheet sheet(Context());
  ModelSession session(sheet.dialog());
  ASSERT_TRUE(sheet.whiteList().Import(session, folder.File("in.txt")));
  EXPECT_THAT(sheet.dialog().Find("black-list-rows")->rows,
              ElementsAre(ElementsAre("Bob", "bob@example.org")));
  EXPECT_EQ(sheet.dialog().Find("white-list-rows")->rows.size(), 1u);
  EXPECT_TRUE(sheet.Ok().empty());
  EXPECT_FALSE(live_.Lock()->blackList.Find(MakeContact("ann@example.org")));
}

TEST_F(OptionsSheetTest, AnImportThatCannotOpenItsFileSaysFileErrorAndChangesNothing) {
  OptionsSheet sheet(Context());
  ModelSession session(sheet.dialog());
  EXPECT_FALSE(sheet.safeRecipients().Import(session, "/nonexistent/list.txt"));
  EXPECT_THAT(ui_.texts(), Contains("File Error:\nNo such file or directory"));
  EXPECT_TRUE(sheet.copy().safeRecipients.Empty());
}

TEST_F(OptionsSheetTest, AFolderWithoutMailIsRefusedAndTheOldOneStays) {
  live_.Lock()->SetSpamFolder({u"0001", u"Mail -> Inbox -> Spam"});
  std::vector<PickedFolder> picks = {{"00AA", "Mail -> Contacts", false},
                                     {"00BB", "Mail -> Inbox -> Junk", true}};
  OptionsContext context = Context();
  context.pickFolder = [&picks]() -> std::optional<PickedFolder> {
    PickedFolder next = picks.front();
    picks.erase(picks.begin());
    return next;
  };
  OptionsSheet sheet(std::move(context));
  ModelSession session(sheet.dialog());
  EXPECT_EQ(sheet.dialog().Find("spam-folder")->text, "Mail -> Inbox -> Spam");
  sheet.general().OnButton(session, kPickFolderButton);
  EXPECT_THAT(ui_.texts(), Contains(kNotMailFolder));
  EXPECT_EQ(sheet.copy().GetSpamFolder()->entryId, u"0001");
  sheet.general().OnButton(session, kPickFolderButton);
  EXPECT_EQ(sheet.dialog().Find("spam-folder")->text, "Mail -> Inbox -> Junk");
  EXPECT_EQ(sheet.copy().GetSpamFolder()->entryId, u"00BB");
  EXPECT_EQ(live_.GetSpamFolder()->entryId, u"0001");  // not before OK
  sheet.Ok();
  EXPECT_EQ(live_.GetSpamFolder()->friendlyName, u"Mail -> Inbox -> Junk");
}

TEST_F(OptionsSheetTest, CancelAfterAddingLeavesTheLiveWhiteListButOpensThereNextTime) {
  live_.Lock()->lastOptionsPage = 2;
  OptionsSheet sheet(Context());
  const std::int32_t add = sheet.whiteList().ButtonId(kListAdd);
  ui_.QueueDialog(ScriptedUi::Press(add));
  ui_.QueueDialog([](Dialog& d) {  // the Edit dialog
    d.Find(kEditAddress)->text = "ann@example.org";
    d.Find(kEditName)->text = "Ann";
    return IDOK;
  });
  ui_.QueueDialog(ScriptedUi::Press(IDCANCEL));
  EXPECT_FALSE(sheet.Run());
  EXPECT_EQ(sheet.copy().whiteList.Count(), 1u);
  EXPECT_TRUE(live_.Lock()->whiteList.Empty());
  OptionsSheet next(Context());
  EXPECT_EQ(next.dialog().currentPage, kWhiteListPage);
}

TEST_F(OptionsSheetTest, AnAdditionTakingAnAddressOffTheBlackListShowsOnTheBlackListPage) {
  for (const char* address : {"a@example.org", "ann@example.org", "zoe@example.org"}) {
    live_.Lock()->blackList.AddAddress(MakeContact(address), "x", clock_.Now());
  }
  OptionsSheet sheet(Context());
  ModelSession session(sheet.dialog());
  ASSERT_TRUE(sheet.whiteList().AddEntry(session, "ann@example.org", "Ann"));  // conflict: OK
  EXPECT_THAT(ui_.texts(), Contains(ConflictText(ListKind::kWhiteList)));
  sheet.ShowPage(3);
  std::vector<std::string> shown;
  for (const auto& row : sheet.dialog().Find("black-list-rows")->rows) shown.push_back(row[1]);
  EXPECT_THAT(shown, ElementsAre("a@example.org", "zoe@example.org"));
  EXPECT_THAT(sheet.dialog().Find("white-list-rows")->rows,
              ElementsAre(ElementsAre("Ann", "ann@example.org")));
  EXPECT_TRUE(sheet.Ok().empty());
  EXPECT_TRUE(live_.Lock()->whiteList.Find(MakeContact("ann@example.org")));
  EXPECT_FALSE(live_.Lock()->blackList.Find(MakeContact("ann@example.org")));
  EXPECT_EQ(live_.Lock()->lastOptionsPage, 3u);
}

TEST_F(OptionsSheetTest, OneEntryAddedToALongListChangesOneRowOfTheView) {
  for (int i = 0; i < 1000; ++i) {
    AddWhite(("user" + std::to_string(1000 + i) + "@example.org").c_str(), "U");
  }
  OptionsSheet sheet(Context());
  std::unique_ptr<DialogSession> session = ui_.Open(sheet.dialog());
  ASSERT_TRUE(sheet.whiteList().AddEntry(*session, "user1500x@example.org", "New"));
  std::size_t rowsSent = 0;
  for (const DialogChange& change : ui_.changes()) {
    rowsSent += change.rows.size() + static_cast<std::size_t>(change.count);
  }
  EXPECT_EQ(rowsSent, 1u);
  EXPECT_EQ(sheet.dialog().Find("white-list-rows")->rows[501][1], "user1500x@example.org");
}

TEST_F(OptionsSheetTest, AnEntryWithControlCharactersOrTooLongIsRefusedBeforeTheListRules) {
  OptionsSheet sheet(Context());
  ModelSession session(sheet.dialog());
  EXPECT_FALSE(sheet.whiteList().AddEntry(session, "ann@example.org\n\x1b[31m", "Ann"));
  EXPECT_FALSE(sheet.whiteList().AddEntry(session, "bob@example.org", std::string(100000, 'b')));
  EXPECT_FALSE(sheet.whiteList().AddEntry(session, "\xE4\xB8\xAD@example.org", "Chinese"));
  EXPECT_TRUE(sheet.copy().whiteList.Empty());
  EXPECT_THAT(ui_.texts(), Contains("The name is longer than 1024 characters."));
}

TEST_F(OptionsSheetTest, ListPagesShowPatternsInBothColumnsThenContacts) {
  AddWhite("zed@example.org", "Zed");
  live_.Lock()->whiteList.AddDomain(MakeContact("@friends.example"));
  live_.Lock()->whiteListWildcards.Insert("*@*.example.net");
  OptionsSheet sheet(Context());
  const Control& view = *sheet.dialog().Find("white-list-rows");
  EXPECT_THAT(view.columns, ElementsAre("Name", "E-mail Address"));
  EXPECT_THAT(view.rows, ElementsAre(ElementsAre("*@*.example.net", "*@*.example.net"),
                                     ElementsAre("Zed", "zed@example.org"),
                                     ElementsAre("@friends.example", "@friends.example")));
}

TEST_F(OptionsSheetTest, AHeaderSortsAndTheSameHeaderAgainReverses) {
  AddWhite("b@example.org", "Carol");
  AddWhite("c@example.org", "Alice");
  AddWhite("a@example.org", "Bob");
  OptionsSheet sheet(Context());
  ModelSession session(sheet.dialog());
  SenderListPage& page = sheet.whiteList();
  auto names = [&] {
    std::vector<std::string> out;
    for (const auto& row : sheet.dialog().Find("white-list-rows")->rows) out.push_back(row[0]);
    return out;
  };
  sheet.dialog().Find("white-list-rows")->selectedRows = {1};
  page.OnButton(session, page.ButtonId(kListSortByName));
  EXPECT_THAT(names(), ElementsAre("Alice", "Bob", "Carol"));
  EXPECT_THAT(sheet.dialog().Find("white-list-rows")->selectedRows, IsEmpty());
  page.OnButton(session, page.ButtonId(kListSortByName));
  EXPECT_THAT(names(), ElementsAre("Carol", "Bob", "Alice"));
  page.OnButton(session, page.ButtonId(kListSortByAddress));  // another column: ascending
  EXPECT_THAT(names(), ElementsAre("Bob", "Carol", "Alice"));
  EXPECT_EQ(page.rows()[0].address, "a@example.org");  // the rows follow the view
}

TEST_F(OptionsSheetTest, EachDictionarysEditButtonAndTheCountsSitInTheirGroups) {
  OptionsSheet sheet(Context());
  const Page& page = *sheet.dialog().FindPage(kPhraseFilterPage);
  // The label a member names, among the page's own controls.
  auto groupTitle = [&](const std::string& group) -> std::string {
    for (const Control& c : page.controls) {
      if (c.id == group && c.kind == ControlKind::kLabel) return c.label;
    }
    return "(no such label)";
  };
  auto buttonGroup = [&](std::int32_t id) {
    for (const Button& b : page.buttons) {
      if (b.id == id) return groupTitle(b.group);
    }
    return std::string("(no such button)");
  };
  EXPECT_EQ(buttonGroup(kEditGoodDictionaryButton), "Custom Not Spam Dictionary");
  EXPECT_EQ(buttonGroup(kEditSpamDictionaryButton), "Custom Spam Dictionary");
  std::vector<std::string> inBayes;
  for (const Control& c : page.controls) {
    if (groupTitle(c.group) == "Bayesian Filter") inBayes.push_back(c.id);
  }
  EXPECT_THAT(inBayes, ElementsAre("learned-junk", "learned-good"));
}

TEST_F(OptionsSheetTest, OnlyTheListPagesSortButtonsHaveTheSortRole) {
  OptionsSheet sheet(Context());
  for (SenderListPage* page : {&sheet.whiteList(), &sheet.blackList(), &sheet.safeRecipients()}) {
    std::vector<std::int32_t> sorting;
    for (const Button& b : sheet.dialog().FindPage(page->Id())->buttons) {
      if (b.role == ButtonRole::kSort) sorting.push_back(b.id);
    }
    EXPECT_THAT(sorting,
                ElementsAre(page->ButtonId(kListSortByName), page->ButtonId(kListSortByAddress)));
  }
}

TEST_F(OptionsSheetTest, RemoveNeedsASelectionAndEditExactlyOne) {
  AddWhite("a@example.org", "A");
  AddWhite("b@example.org", "B");
  OptionsSheet sheet(Context());
  Dialog& d = sheet.dialog();
  SenderListPage& page = sheet.whiteList();
  const Button& remove = *d.FindButton(page.ButtonId(kListRemove));
  const Button& edit = *d.FindButton(page.ButtonId(kListEdit));
  EXPECT_FALSE(IsEnabled(d, remove));
  EXPECT_FALSE(IsEnabled(d, edit));
  d.Find("white-list-rows")->selectedRows = {0, 1};
  EXPECT_TRUE(IsEnabled(d, remove));
  EXPECT_FALSE(IsEnabled(d, edit));
  d.Find("white-list-rows")->selectedRows = {1};
  EXPECT_TRUE(IsEnabled(d, edit));
  // Each page's buttons are its own: the Black List page's Remove stays disabled.
  EXPECT_FALSE(IsEnabled(d, *d.FindButton(sheet.blackList().ButtonId(kListRemove))));
}

TEST_F(OptionsSheetTest, TheVersionLineCarriesTheBuildsDateAndTime) {
  const std::regex form(R"(Quorvel 3\.0 \((Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) )"
                        R"([ 1-3][0-9] \d{4} \d\d:\d\d:\d\d\))");
  EXPECT_TRUE(std::regex_match(VersionLine(), form)) << VersionLine();
  OptionsSheet sheet(Context());
  EXPECT_EQ(sheet.dialog().Find("version")->label, VersionLine());
}

TEST_F(OptionsSheetTest, TheWebLinkOpensAndTheMailLinkAlsoClosesTheSheetAsCancel) {
  live_.Lock()->lastOptionsPage = 5;
  OptionsSheet sheet(Context());
  ui_.QueueDialog([](Dialog& d) {
    d.Find("MarkSpamAsRead")->checked = true;
    return kWebSiteLink;
  });
  ui_.QueueDialog(ScriptedUi::Press(kSupportMailLink));
  EXPECT_FALSE(sheet.Run());
  std::vector<std::string> urls;
  for (const auto& shown : ui_.shown()) {
    if (shown.kind == "url") urls.push_back(shown.text);
  }
  EXPECT_THAT(urls, ElementsAre(kWebSiteUrl, kSupportMailUrl));
  EXPECT_EQ(live_.Lock()->markSpamAsRead, 0u);
  EXPECT_EQ(live_.Lock()->lastOptionsPage, 5u);
}

TEST_F(OptionsSheetTest, HelpOpensTheManualAndLeavesTheSheetOpen) {
  int opened = 0;
  OptionsContext context = Context();
  context.openHelp = [&opened] { ++opened; };
  OptionsSheet sheet(std::move(context));
  ui_.QueueDialog(ScriptedUi::Press(kHelpButton));
  ui_.QueueDialog(ScriptedUi::Press(IDCANCEL));
  EXPECT_FALSE(sheet.Run());
  EXPECT_EQ(opened, 1);
}

}  // namespace
}  // namespace quorvel::ui
