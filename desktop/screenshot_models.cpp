#include "desktop/screenshot_models.h"

#include "crash/report_offer.h"
#include "lists/contact.h"
#include "lists/list_edit.h"
#include "platform/clock.h"
#include "settings/settings_holder.h"
#include "ui/check_folder_dialog.h"
#include "ui/customize_toolbar.h"
#include "ui/dictionary_dialog.h"
#include "ui/input_box.h"
#include "ui/list_edit_dialogs.h"
#include "ui/marking_dialogs.h"
#include "ui/options_sheet.h"
#include "ui/test_message_dialog.h"

namespace quorvel::desktop {
namespace {

using Draw = std::function<bool(const QString& file, ui::Dialog& dialog)>;

// A profile's settings as a user has them after a while: contacts and a pattern on
// the lists, words in both dictionaries, a spam folder, Marking Options changed.
void FillSettings(UserSettings& s, platform::FileTime now) {
  for (const auto& [address, name] : {std::pair{"ann@example.org", "Ann Example"},
                                      {"bob@example.org", "Bob Builder"},
                                      {"news@lists.example.net", "Example News"}}) {
    s.whiteList.AddAddress(MakeContact(address), name, now);
  }
  PendingAddition domain(s.whiteList, s.blackList);
  domain.AddDomain("@colleagues.example.com");
  domain.Apply(now);
  s.whiteListWildcards.Insert("*@*.debian.org");
  for (const auto& [address, name] : {std::pair{"offers@deals.example", "Best Deals"},
                                      {"carol@example.org", "Carol"},
                                      {"dave@example.org", "Dave"}}) {
    s.blackList.AddAddress(MakeContact(address), name, now);
  }
  s.blackListWildcards.Insert("*@*.casino.example");
  s.safeRecipients.AddAddress(MakeContact("team@example.org"), "Team", now);
  for (const char* word : {"meeting", "invoice attached", "quarterly report"}) {
    s.customGoodDictionary.Insert(word);
  }
  for (const char* word : {"viagra", "lottery winner", "crypto giveaway"}) {
    s.customSpamDictionary.Insert(word);
  }
  s.goodAddWhiteList = 1;
  s.goodAddDomainWhiteList = 1;
  s.junkAddBlackList = 1;
}

bool OptionsPages(ui::Ui& presenter, const platform::Clock& clock, const Draw& draw) {
  SettingsHolder live;
  FillSettings(*live.Lock(), clock.Now());
  live.SetSpamFolder({u"0000", u"Personal Folders -> Inbox -> Spam"});
  // The host gives the sheet a folder picker and the manual, which enable their buttons.
  ui::OptionsSheet sheet({.live = live,
                          .ui = presenter,
                          .clock = clock,
                          .learnedJunk = 1482,
                          .learnedGood = 3907,
                          .pickFolder = [] { return std::optional<ui::PickedFolder>(); },
                          .openHelp = [] {}});
  static const char* const kFiles[ui::kOptionsPageCount] = {
      "options-1-general.png",    "options-2-phrase-filter.png",   "options-3-white-list.png",
      "options-4-black-list.png", "options-5-safe-recipients.png", "options-6-about.png"};
  for (std::size_t i = 0; i < ui::kOptionsPageCount; ++i) {
    sheet.ShowPage(i);
    if (!draw(kFiles[i], sheet.dialog())) return false;
  }
  return true;
}

// The confirmations of list additions: the domain example.org added to the White List
// absorbs its single contacts (of both lists); two addresses of the Black List added to
// the White List leave the Black List, one of them kept there by its cleared mark.
bool ListConfirmations(const platform::Clock& clock, const Draw& draw) {
  UserSettings s;
  FillSettings(s, clock.Now());
  PendingAddition domain(s.whiteList, s.blackList);
  domain.AddDomain("@example.org");
  ui::Dialog absorbed = ui::ListConfirmationDialog(ui::AbsorbedText(), domain.absorbed(), false);
  if (!draw("list-confirm-absorbed.png", absorbed)) return false;
  PendingAddition addresses(s.whiteList, s.blackList);
  addresses.AddAddress("carol@example.org", "Carol");
  addresses.AddAddress("offers@deals.example", "Best Deals");
  if (addresses.conflicts().size() > 1) addresses.conflicts()[0].remove = false;
  ui::Dialog conflicts = ui::ListConfirmationDialog(ui::ConflictText(ui::ListKind::kWhiteList),
                                                    addresses.conflicts(), true);
  return draw("list-confirm-conflicts.png", conflicts);
}

bool Dictionaries(ui::Ui& presenter, const Draw& draw) {
  UserSettings s;
  FillSettings(s, 0);
  ui::DictionaryDialog spam(presenter, ui::DictionaryKind::kSpam, s.customSpamDictionary);
  if (!draw("dictionary-spam.png", spam.dialog())) return false;
  // The input boxes of its Add and Edit buttons.
  ui::Dialog add = ui::InputBox("Add New Word", "Enter a word or phrase:", "");
  if (!draw("input-box-add-word.png", add)) return false;
  ui::Dialog edit = ui::InputBox("Edit", "&Edit or enter a new word:", "lottery winner");
  return draw("input-box-edit-word.png", edit);
}

bool TestMessages(const TestMessageSamples& samples, const Draw& draw) {
  if (!samples.shortReason.empty()) {
    ui::Dialog result = ui::TestMessageResult(samples.shortSpam, samples.shortReason);
    if (!draw("test-message-short.png", result)) return false;
  }
  if (!samples.longReason.empty()) {
    ui::Dialog result = ui::TestMessageResult(samples.longSpam, samples.longReason);
    if (!draw("test-message-long.png", result)) return false;
  }
  return true;
}

}  // namespace

void ForEachGalleryDialog(ui::Ui& ui, const TestMessageSamples& samples, const Draw& draw) {
  const platform::FakeClock clock(133'500'000'000'000'000ULL);  // March 2024
  if (!OptionsPages(ui, clock, draw)) return;
  ui::Dialog edit = ui::EditEntryDialog("ann@example.org", "Ann Example");
  if (!draw("list-edit-entry.png", edit)) return;
  if (!ListConfirmations(clock, draw)) return;
  if (!Dictionaries(ui, draw)) return;
  UserSettings s;
  FillSettings(s, clock.Now());
  ui::Dialog marking = ui::MarkingOptionsDialog(s);
  if (!draw("marking-options.png", marking)) return;
  ui::Dialog junk = ui::MarkingConfirmationDialog(true, "Personal Folders -> Inbox -> Spam");
  if (!draw("marking-confirmation-junk.png", junk)) return;
  ui::Dialog good = ui::MarkingConfirmationDialog(false, "Personal Folders -> Inbox");
  if (!draw("marking-confirmation-good.png", good)) return;
  ui::Dialog check = ui::CheckFolderConfirmation("Inbox", true);
  if (!draw("check-folder-confirm.png", check)) return;
  if (!TestMessages(samples, draw)) return;
  ui::Dialog toolbar = ui::CustomizeToolbarDialog(ui::DefaultCustomization());
  if (!draw("toolbar-customization.png", toolbar)) return;
  ui::Dialog report =
      crash::ReportDialog("/home/ann/.local/share/Veltmark/Quorvel/ExceptionReport.txt");
  draw("exception-report.png", report);
}

}  // namespace quorvel::desktop
