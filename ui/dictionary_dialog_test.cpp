// The dictionary dialog and its input boxes: duplicates refused without regard to
// case, an entry edited to another case of itself, Remove's question and its count,
// Close against closing otherwise, and the words the lists cannot keep.
#include "ui/dictionary_dialog.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ui/input_box.h"
#include "ui/model_session.h"
#include "ui/scripted_ui.h"

namespace quorvel::ui {
namespace {

using platform::IDCANCEL;
using platform::IDNO;
using platform::IDOK;
using platform::IDYES;
using testing::Contains;
using testing::ElementsAre;
using testing::HasSubstr;

StringSet Words(std::initializer_list<const char*> words) {
  StringSet set;
  for (const char* word : words) set.Insert(word);
  return set;
}

std::vector<std::string> Entries(const StringSet& set) { return {set.begin(), set.end()}; }

ScriptedUi::DialogScript Type(std::string text) {
  return [text = std::move(text)](Dialog& d) {
    d.Find("text")->text = text;
    return IDOK;
  };
}

TEST(DictionaryDialogTest, OpensWithTheTextsOfItsKindAndTheEntriesInOrder) {
  ScriptedUi ui;
  DictionaryDialog spam(ui, DictionaryKind::kSpam, Words({"viagra", "Free Offer"}));
  EXPECT_EQ(spam.dialog().title, "Custom Spam Dictionary");
  EXPECT_EQ(spam.dialog().Find("description")->label,
            "If a message contains any word from the list below then it will be treated as spam");
  EXPECT_THAT(spam.dialog().Find("words")->rows,
              ElementsAre(ElementsAre("Free Offer"), ElementsAre("viagra")));
  DictionaryDialog good(ui, DictionaryKind::kNotSpam, {});
  EXPECT_EQ(good.dialog().title, "Custom Not-Spam Dictionary");
  EXPECT_THAT(good.dialog().Find("description")->label, HasSubstr("treated as non-spam"));
}

TEST(DictionaryDialogTest, RemoveAndEditAreEnabledByTheSelection) {
  ScriptedUi ui;
  DictionaryDialog d(ui, DictionaryKind::kSpam, Words({"a", "b"}));
  Dialog& dialog = d.dialog();
  const Button& remove = *dialog.FindButton(kDictionaryRemove);
  const Button& edit = *dialog.FindButton(kDictionaryEdit);
  EXPECT_FALSE(IsEnabled(dialog, remove));
  dialog.Find("words")->selectedRows = {0};
  EXPECT_TRUE(IsEnabled(dialog, remove));
  EXPECT_TRUE(IsEnabled(dialog, edit));
  dialog.Find("words")->selectedRows = {0, 1};
  EXPECT_TRUE(IsEnabled(dialog, remove));
  EXPECT_FALSE(IsEnabled(dialog, edit));
}

TEST(DictionaryDialogTest, AddingAWordThatIsThereInAnotherCaseIsRefused) {
  ScriptedUi ui;
  DictionaryDialog d(ui, DictionaryKind::kSpam, Words({"Lottery"}));
  ModelSession session(d.dialog());
  EXPECT_FALSE(d.AddWord(session, "lottery"));
  EXPECT_THAT(ui.texts(), Contains("This word is already in the list."));
  EXPECT_EQ(ui.shown().back().style & 0xF0, platform::MB_ICONINFORMATION);
  EXPECT_THAT(Entries(d.words()), ElementsAre("Lottery"));
}

TEST(DictionaryDialogTest, AnAddedWordIsShownInItsPlaceAndSelected) {
  ScriptedUi ui;
  DictionaryDialog d(ui, DictionaryKind::kSpam, Words({"alpha", "gamma"}));
  ModelSession session(d.dialog());
  ASSERT_TRUE(d.AddWord(session, "beta"));
  const Control& list = *d.dialog().Find("words");
  EXPECT_THAT(list.rows,
              ElementsAre(ElementsAre("alpha"), ElementsAre("beta"), ElementsAre("gamma")));
  EXPECT_THAT(list.selectedRows, ElementsAre(1));
}

TEST(DictionaryDialogTest, EditingToAnotherCaseOfItselfReplacesIt) {
  ScriptedUi ui;
  DictionaryDialog d(ui, DictionaryKind::kNotSpam, Words({"invoice", "Order"}));
  ModelSession session(d.dialog());
  ASSERT_TRUE(d.EditWord(session, 0, "INVOICE"));
  EXPECT_THAT(Entries(d.words()), ElementsAre("INVOICE", "Order"));
  EXPECT_FALSE(d.EditWord(session, 0, "order"));  // another entry's text
  EXPECT_THAT(ui.texts(), Contains("This word is already in the list."));
  EXPECT_THAT(Entries(d.words()), ElementsAre("INVOICE", "Order"));
}

TEST(DictionaryDialogTest, RemoveAsksWithTheCountAndRemovesOnlyOnYes) {
  ScriptedUi ui;
  DictionaryDialog d(ui, DictionaryKind::kSpam, Words({"a", "b", "c"}));
  ModelSession session(d.dialog());
  d.dialog().Find("words")->selectedRows = {0, 2};
  ui.QueueAnswer(IDNO);
  EXPECT_FALSE(d.RemoveSelected(session));
  EXPECT_EQ(d.words().Count(), 3u);
  ui.QueueAnswer(IDYES);
  EXPECT_TRUE(d.RemoveSelected(session));
  EXPECT_THAT(Entries(d.words()), ElementsAre("b"));
  EXPECT_THAT(d.dialog().Find("words")->rows, ElementsAre(ElementsAre("b")));
  EXPECT_THAT(ui.texts(), Contains("Are you sure you want to delete these 2 items?"));
  d.dialog().Find("words")->selectedRows = {0};
  ui.QueueAnswer(IDYES);
  d.RemoveSelected(session);
  EXPECT_THAT(ui.texts(), Contains("Are you sure you want to delete this item?"));
}

TEST(DictionaryDialogTest, CloseReplacesTheDictionaryAndClosingOtherwiseKeepsIt) {
  StringSet dictionary = Words({"old"});
  ScriptedUi ui;
  ui.QueueDialog(ScriptedUi::Press(kDictionaryAdd));
  ui.QueueDialog(Type("new"));  // the input box
  ui.QueueDialog(ScriptedUi::Press(IDCANCEL));
  EXPECT_FALSE(EditDictionary(ui, DictionaryKind::kSpam, dictionary));
  EXPECT_THAT(Entries(dictionary), ElementsAre("old"));

  ui.QueueDialog(ScriptedUi::Press(kDictionaryAdd));
  ui.QueueDialog(Type("new"));
  ui.QueueDialog(ScriptedUi::Press(IDOK));
  EXPECT_TRUE(EditDictionary(ui, DictionaryKind::kSpam, dictionary));
  EXPECT_THAT(Entries(dictionary), ElementsAre("new", "old"));
  EXPECT_THAT(ui.texts(), Contains("Add New Word"));
  EXPECT_THAT(ui.texts(), Contains("Enter a word or phrase:"));
}

TEST(DictionaryDialogTest, EditOpensTheInputBoxFilledWithTheSelectedWord) {
  StringSet dictionary = Words({"winter"});
  ScriptedUi ui;
  ui.QueueDialog(ScriptedUi::Select("words", {0}, kDictionaryEdit));
  std::string shown;
  ui.QueueDialog([&shown](Dialog& d) {
    shown = d.title + "|" + d.Find("prompt")->label + "|" + d.Find("text")->text;
    d.Find("text")->text = "summer";
    return IDOK;
  });
  ui.QueueDialog(ScriptedUi::Press(IDOK));
  EXPECT_TRUE(EditDictionary(ui, DictionaryKind::kSpam, dictionary));
  EXPECT_EQ(shown, "Edit|&Edit or enter a new word:|winter");
  EXPECT_THAT(Entries(dictionary), ElementsAre("summer"));
}

TEST(InputBoxTest, AnEmptyWordKeepsTheBoxOpenAndBlanksAreAWord) {
  ScriptedUi ui;
  ui.QueueDialog(Type(""));
  ui.QueueDialog(Type("  "));
  EXPECT_EQ(RunInputBox(ui, "Add New Word", "Enter a word or phrase:"), "  ");
  EXPECT_THAT(ui.texts(), Contains("The word is empty."));
  EXPECT_EQ(ui.shown()[1].style, platform::MB_OK);  // a plain box
  ui.QueueDialog(ScriptedUi::Press(IDCANCEL));
  EXPECT_EQ(RunInputBox(ui, "Edit", "p", "x"), std::nullopt);
}

TEST(DictionaryDialogTest, WordsTheListsCannotKeepAreRefusedAndNothingChanges) {
  struct Case {
    std::string word;
    const char* says;
  } cases[] = {
      {"free\x1b[2Joffer", "control characters"},
      {"tab\there", "control characters"},
      {"c1 \xC2\x85 next line", "control characters"},
      {std::string(100'000, 'w'), "longer than 1024 characters"},
      {"\xE2\x82\xAC uro", ""},  // the euro sign is in windows-1252: accepted
      {"\xE4\xB8\xAD\xE6\x96\x87", "cannot hold"},
      {"\xFF\xFE broken", "cannot hold"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.word.substr(0, 20));
    ScriptedUi ui;
    DictionaryDialog d(ui, DictionaryKind::kSpam, {});
    ModelSession session(d.dialog());
    const bool added = d.AddWord(session, c.word);
    EXPECT_EQ(added, std::string(c.says).empty());
    if (!added) {
      ASSERT_FALSE(ui.texts().empty());
      EXPECT_THAT(ui.texts().back(), HasSubstr(c.says));
      EXPECT_TRUE(d.words().Empty());
      EXPECT_TRUE(d.dialog().Find("words")->rows.empty());
    }
  }
}

}  // namespace
}  // namespace quorvel::ui
