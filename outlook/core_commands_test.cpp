// The core's commands as a window or a request runs them: Check Folder with its
// confirmation, Test Message on a selection, Empty Spam Folder, Email to support.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <thread>

#include "host/memory_host.h"
#include "host/store_namespace.h"
#include "lists/contact.h"
#include "mapi/queries.h"
#include "outlook/qv_core.h"
#include "outlook/spam_folder.h"
#include "outlook/test_message.h"
#include "platform/code_page.h"
#include "platform/registry_memory.h"
#include "settings/settings_store.h"
#include "testing/message_builder.h"
#include "ui/check_folder_dialog.h"
#include "ui/scripted_ui.h"
#include "ui/test_message_dialog.h"

namespace quorvel::outlook {
namespace {

using mapi::EntryId;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::StartsWith;

class CoreCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UserSettings stored;
    stored.profileKey = "Test";
    stored.blackList.AddAddress(MakeContact("spammer@bad.example"), "", 1);
    stored.whiteList.AddAddress(MakeContact("friend@good.example"), "", 1);
    SettingsStore(registry, "", clock).Save(&stored);
    core = std::make_unique<QVCore>(CoreOptions{.process = process, .version = "9.8.7"});
    ASSERT_EQ(core->Initialize(box.application.get()), mapi::S_OK);
    core->worker()->Stop();  // mail saved by a test is judged by the command alone
    inbox = Folder(box.layout.inbox);
    // Made at the first spam; these tests start with it there.
    ASSERT_NE(CheckSpamFolder(*box.session, process.settings()), SpamFolderResult::kNone);
    auto ref = process.settings().GetSpamFolder();
    ASSERT_TRUE(ref);
    spamId = *EntryId::FromHex(platform::WideToAnsi(ref->entryId));
  }
  void TearDown() override { core->Shutdown(); }

  std::shared_ptr<mapi::Folder> Folder(const EntryId& id) {
    return box.session->OpenEntry(id, mapi::MAPI_BEST_ACCESS)->As<mapi::Folder>();
  }
  // Saved, not delivered: the worker does not judge it first.
  EntryId Put(mapi::Folder& folder, const std::string& subject, const std::string& from) {
    return *MessageBuilder()
                .Subject(subject)
                .From("S", from)
                .Class("IPM.Note")
                .Body("Hello there")
                .SaveIn(folder);
  }
  std::size_t Count(const EntryId& folder) {
    auto table = Folder(folder)->GetContentsTable(0);
    auto n = (*table)->GetRowCount(0);
    return n.ok() ? *n : 0;
  }
  std::shared_ptr<host::Explorer> ExplorerOn(const EntryId& folder,
                                             const std::vector<EntryId>& selected = {}) {
    auto f = box.nameSpace->GetFolderFromID(folder.ToHex(), "");
    std::vector<std::shared_ptr<host::MailItem>> items;
    for (const EntryId& id : selected)
      items.push_back(*box.nameSpace->GetItemFromID(id.ToHex(), ""));
    return box.application->Explorers()->OpenRequest(*f, host::Selection(std::move(items)));
  }
  std::vector<std::string> DialogKinds() {
    std::vector<std::string> kinds;
    for (const ui::Dialog& d : ui.dialogs()) kinds.push_back(d.kind);
    return kinds;
  }

  platform::SystemClock clock;
  platform::RegistryMemory registry;
  ui::ScriptedUi ui;
  AddInProcess process{{registry, clock, ui, "", ""}};
  host::MemoryHost box{ui, "Test"};
  std::unique_ptr<QVCore> core;
  std::shared_ptr<mapi::Folder> inbox;
  EntryId spamId;
};

TEST_F(CoreCommandsTest, CheckFolderAsksFirstAndSaysWhatItFound) {
  Put(*inbox, "offer", "spammer@bad.example");
  Put(*inbox, "hello", "friend@good.example");
  // No: nothing is judged or moved.
  ui.QueueDialog(ui::ScriptedUi::Press(platform::IDNO));
  ASSERT_EQ(core->CheckFolder(ExplorerOn(box.layout.inbox).get()), mapi::S_OK);
  ASSERT_EQ(ui.dialogs().size(), 1u);
  const ui::Dialog asked = ui.dialogs()[0];
  EXPECT_EQ(asked.controls[0].label, "Are you sure you want to check \"Inbox\" folder?");
  // The Inbox holds the spam folder: the box starts checked.
  EXPECT_TRUE(asked.Find(ui::kSubfoldersControl)->checked);
  EXPECT_EQ(Count(box.layout.inbox), 2u);
  EXPECT_THAT(ui.texts(), Not(Contains(ui::kCheckingTitle)));

  ui.QueueDialog(ui::ScriptedUi::Press(platform::IDYES));
  ASSERT_EQ(core->CheckFolder(ExplorerOn(box.layout.inbox).get()), mapi::S_OK);
  EXPECT_EQ(Count(box.layout.inbox), 1u);
  EXPECT_EQ(Count(spamId), 1u);
  EXPECT_THAT(ui.texts(), Contains("Check done: 2 messages checked, 1 spam, 1 moved to the spam "
                                   "folder"));
}

TEST_F(CoreCommandsTest, CheckFolderOfNoMailOrOfAnEmptyFolderStopsEarly) {
  // Contacts hold no mail: no question at all.
  ASSERT_EQ(core->CheckFolder(ExplorerOn(box.layout.contacts).get()), mapi::S_OK);
  EXPECT_THAT(DialogKinds(), IsEmpty());
  // An empty folder without subfolders: the question (its box disabled), then nothing.
  ui.QueueDialog(ui::ScriptedUi::Press(platform::IDYES));
  ASSERT_EQ(core->CheckFolder(ExplorerOn(box.layout.drafts).get()), mapi::S_OK);
  ASSERT_THAT(DialogKinds(), ElementsAre(ui::kCheckFolderKind));
  EXPECT_FALSE(ui.dialogs()[0].Find(ui::kSubfoldersControl)->enabled);
  EXPECT_THAT(ui.texts(), Not(Contains(ui::kCheckingTitle)));
  EXPECT_THAT(ui.texts(), Not(Contains(HasSubstr("Check done"))));
}

TEST_F(CoreCommandsTest, TestMessageNeedsExactlyOneItemAndMovesNothing) {
  const EntryId bad = Put(*inbox, "offer", "spammer@bad.example");
  const EntryId other = Put(*inbox, "hello", "friend@good.example");
  ASSERT_EQ(core->TestMessage(ExplorerOn(box.layout.inbox).get()), mapi::S_OK);
  EXPECT_THAT(ui.texts(), Contains("You should select a mail item."));
  ASSERT_EQ(core->TestMessage(ExplorerOn(box.layout.inbox, {bad, other}).get()), mapi::S_OK);
  EXPECT_THAT(ui.texts(), Contains("Please select only one mail item."));
  ASSERT_EQ(core->TestMessage(nullptr), mapi::S_OK);
  EXPECT_THAT(DialogKinds(), IsEmpty());

  ASSERT_EQ(core->TestMessage(ExplorerOn(box.layout.inbox, {bad}).get()), mapi::S_OK);
  ASSERT_THAT(DialogKinds(), ElementsAre(ui::kTestMessageKind));
  const ui::Dialog shown = ui.dialogs()[0];
  EXPECT_EQ(shown.headline, "Message is recognized as Junk e-mail");
  EXPECT_EQ(shown.Find(ui::kReasonControl)->text, "Sender's address is in Black List");
  EXPECT_EQ(shown.Find(ui::kInformationControl)->text, "spammer@bad.example");
  EXPECT_EQ(Count(box.layout.inbox), 2u);  // tested, not moved
  EXPECT_EQ(Count(spamId), 0u);
}

TEST_F(CoreCommandsTest, TestItemWithoutAMessageBehindItFails) {
  const EntryId gone = Put(*inbox, "offer", "spammer@bad.example");
  auto item = *box.nameSpace->GetItemFromID(gone.ToHex(), "");
  const EntryId ids[] = {gone};
  ASSERT_EQ(inbox->DeleteMessages(ids, 0), mapi::S_OK);
  ClassifierJudge judge(ClassifyContext{process.settings(), process.mailbase(), ui, clock});
  EXPECT_EQ(TestItem(ui, judge, *item, kStandardFlags), mapi::E_FAIL);
  EXPECT_THAT(DialogKinds(), IsEmpty());
}

TEST_F(CoreCommandsTest, EmptySpamDeletesOnlyAfterYesAndNeverTheInbox) {
  auto spam = Folder(spamId);
  Put(*spam, "one", "a@x.example");
  Put(*spam, "two", "b@x.example");
  ui.QueueAnswer(platform::IDNO);
  ASSERT_EQ(core->DeleteSpam(), mapi::S_OK);
  EXPECT_EQ(Count(spamId), 2u);
  // The question's default is No: nobody's answer deletes nothing.
  ASSERT_FALSE(ui.shown().empty());
  EXPECT_EQ(ui.shown().back().text,
            "Are you sure you want to delete all items in the Spam folder?");
  EXPECT_NE(ui.shown().back().style & ui::MB_DEFBUTTON2, 0u);

  ui.QueueAnswer(platform::IDYES);
  ASSERT_EQ(core->DeleteSpam(), mapi::S_OK);
  EXPECT_EQ(Count(spamId), 0u);
  EXPECT_THAT(ui.texts(), Contains("2 messages deleted from the spam folder"));

  Put(*inbox, "mine", "friend@good.example");
  process.settings().SetSpamFolder({platform::AnsiToWide(box.layout.inbox.ToHex()), u""});
  ui.QueueAnswer(platform::IDYES);
  ASSERT_EQ(core->DeleteSpam(), mapi::S_OK);
  EXPECT_THAT(ui.texts(), Contains(StartsWith("Quorvel cannot empty the spam folder because")));
  EXPECT_EQ(Count(box.layout.inbox), 1u);
}

TEST_F(CoreCommandsTest, EmailToSupportOpensTheRequestAsALink) {
  ASSERT_EQ(core->EmailToSupport(), mapi::S_OK);
  std::string url;
  for (const auto& s : ui.shown()) {
    if (s.kind == "url") url = s.text;
  }
  EXPECT_THAT(url, StartsWith("mailto:support@veltmark.example?subject=Support%20Request%20("
                              "Quorvel%209.8.7)&body=Program%20Version:%20Quorvel%209.8.7%0d%0a"));
  EXPECT_THAT(url, HasSubstr("%0d%0aOutlook%20Version:%20Quorvel%20host%209.8.7%0d%0a%0d%0a"));
  EXPECT_EQ(url.find(' '), std::string::npos);
  EXPECT_EQ(url.find('\n'), std::string::npos);
}

// Two markings of one message at once (two requests): one after the other, the second
// finding the message where the first put it. Junk twice learns it once and leaves one
// copy in the spam folder; good and junk each learn it at most once, and the message
// ends in one folder.
TEST_F(CoreCommandsTest, TwoMarkingsOfOneMessageAtOnceRunOneAfterTheOther) {
  process.mailbase().store().StartFresh();
  {
    auto s = process.settings().Lock();
    s->junkMoveInbox = s->goodMoveInbox = 1;
    s->junkAddBlackList = s->goodAddWhiteList = 0;
    s->junkApplyToAll = s->goodApplyToAll = 0;
    // A message the test saves into the spam folder would be the user's move there.
    s->learnFromMoves = 0;
  }
  for (const bool goodFirst : {false, true}) {
    SCOPED_TRACE(goodFirst ? "good and junk" : "junk twice");
    for (int round = 0; round < 10; ++round) {
      process.mailbase().store().Reset();
      process.mailbase().store().StartFresh();
      const EntryId from = goodFirst ? spamId : box.layout.inbox;
      auto folder = Folder(from);
      const EntryId id =
          *MessageBuilder()
               .Subject("twice " + std::to_string(round))
               .From("S", "x@y.example")
               .Class("IPM.Note")
               .Body("Hello there")
               .Prop(mapi::PropValue::String8(
                   mapi::PR_INTERNET_MESSAGE_ID,
                   "<twice-" + std::to_string(round) + (goodFirst ? "g" : "j") + "@y.example>"))
               .SaveIn(*folder);
      const std::size_t inbox0 = Count(box.layout.inbox), spam0 = Count(spamId);
      auto mark = [&](MarkingMode mode) { core->MarkQuietly({from, {id}}, mode); };
      std::thread first(mark, goodFirst ? MarkingMode::kGood : MarkingMode::kJunk);
      std::thread second(mark, MarkingMode::kJunk);
      first.join();
      second.join();
      CorpusPair learned = process.mailbase().store().PendingPair();
      learned.Merge(process.mailbase().store().MainPair());
      EXPECT_EQ(Count(box.layout.inbox) + Count(spamId), inbox0 + spam0);
      if (!goodFirst) {
        EXPECT_EQ(learned.junk().messageCount(), 1);
        EXPECT_EQ(Count(spamId), spam0 + 1);
        EXPECT_EQ(Count(box.layout.inbox), inbox0 - 1);
      } else {
        EXPECT_LE(learned.junk().messageCount(), 1);
        EXPECT_LE(learned.good().messageCount(), 1);
        EXPECT_GE(learned.junk().messageCount() + learned.good().messageCount(), 1);
        // In the Inbox whichever ran first: junk of a message in the spam folder moves
        // nothing, and junk after good no longer finds it there.
        EXPECT_EQ(Count(box.layout.inbox), inbox0 + 1);
      }
    }
  }
}

}  // namespace
}  // namespace quorvel::outlook
