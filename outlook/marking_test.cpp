// The marking routine on the in-memory store with the scripted presenter: which steps
// run for which options and folders, what is learned, listed and moved, the questions
// asked (and not asked in quiet mode), and what survives a failing mail base, a
// message gone since it was selected and a list changed while a dialog was open.
#include "outlook/marking.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "host/memory_host.h"
#include "mapi/queries.h"
#include "outlook/marking_journal.h"
#include "outlook/qv_core.h"
#include "outlook/spam_folder.h"
#include "platform/code_page.h"
#include "platform/registry_memory.h"
#include "testing/message_builder.h"
#include "ui/marking_dialogs.h"
#include "ui/scripted_ui.h"

namespace quorvel::outlook {
namespace {

using mapi::EntryId;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::UnorderedElementsAre;

constexpr const char* kPillsBody = "Buy cheap pills now, buy today!!";

std::vector<std::string> Shown(const ContactList& list) {
  std::vector<std::string> out;
  for (const ContactPosition& p : list) out.push_back(p.Address());
  return out;
}

class MarkingTest : public ::testing::Test {
 protected:
  MarkingTest() {
    CheckSpamFolder(*box.session, process.settings());  // the Inbox's "Spam", made
    auto ref = process.settings().GetSpamFolder();
    spam = *EntryId::FromHex(platform::WideToAnsi(ref->entryId));
    inbox = box.layout.inbox;
    process.mailbase().store().StartFresh();
    // Every step on unless a test says otherwise.
    auto s = process.settings().Lock();
    s->junkAddBlackList = 1;
    s->junkMoveInbox = 1;
    s->junkApplyToAll = 0;
    s->goodAddWhiteList = 1;
    s->goodMoveInbox = 1;
    s->goodApplyToAll = 0;
  }

  std::shared_ptr<mapi::Folder> Folder(const EntryId& id) {
    return box.session->OpenEntry(id, 0)->As<mapi::Folder>();
  }
  EntryId Put(const EntryId& folder, const std::string& from, std::string headers = "",
              std::string body = kPillsBody) {
    return *MessageBuilder()
                .Subject("")
                .From("Name of " + from, from)
                .Headers(std::move(headers))
                .Body(body)
                .TextRtfBody(body)
                .SaveIn(*Folder(folder));
  }
  std::vector<EntryId> In(const EntryId& folder) {
    std::vector<EntryId> ids;
    auto table = Folder(folder)->GetContentsTable(0);
    const mapi::PropTag columns[] = {mapi::PR_ENTRYID};
    auto rows = mapi::HrQueryAllRows(**table, columns, std::nullopt);
    for (const mapi::Row& row : *rows) {
      ids.push_back(mapi::GetEntryId(row, mapi::PR_ENTRYID));
    }
    return ids;
  }
  MarkingRecord Mark(const EntryId& folder, std::vector<EntryId> messages, MarkingMode mode,
                     bool quiet = false) {
    MarkingContext context{process, *box.session, ui};
    return MarkMessages(context, {folder, std::move(messages)}, mode, quiet);
  }
  CorpusPair Pending() { return process.mailbase().store().PendingPair(); }
  std::int32_t PendingMessages(int half) { return Pending().Half(half).messageCount(); }

  platform::SystemClock clock;
  platform::RegistryMemory registry;
  ui::ScriptedUi ui;
  AddInProcess process{{registry, clock, ui, "", ""}};
  host::MemoryHost box{ui};
  EntryId spam, inbox;
};

TEST_F(MarkingTest, JunkInTheInboxLearnsBlacklistsAndMovesToTheSpamFolder) {
  EntryId a = Put(inbox, "a@bad.example");
  EntryId b = Put(inbox, "b@bad.example");
  EntryId other = Put(inbox, "c@fine.example");
  MarkingRecord record = Mark(inbox, {a, b}, MarkingMode::kJunk);

  EXPECT_THAT(In(spam), UnorderedElementsAre(a, b));
  EXPECT_THAT(In(inbox), ElementsAre(other));
  const CorpusPair pending = Pending();
  const TokenCorpus& junk = pending.Half(CorpusPair::kJunk);
  EXPECT_EQ(junk.messageCount(), 2);
  EXPECT_EQ(junk.Count(u"buy"), 20) << "two occurrences, weight 5, two messages";
  EXPECT_EQ(junk.Count(u"cheap"), 10);
  EXPECT_EQ(pending.Half(CorpusPair::kGood).messageCount(), 0);
  EXPECT_THAT(Shown(process.settings().Lock()->blackList),
              ElementsAre("a@bad.example", "b@bad.example"));

  ASSERT_EQ(record.learned.size(), 2u);
  EXPECT_TRUE(record.learned[0].junk);
  EXPECT_EQ(record.learned[0].weight, 5);
  EXPECT_EQ(record.blackList.added.size(), 2u);
  ASSERT_TRUE(record.moved);
  EXPECT_TRUE(record.move.complete);
  EXPECT_EQ(record.move.destinationFolder, spam.ToHex());
  ASSERT_EQ(record.move.messages.size(), 2u);
  EXPECT_EQ(record.move.messages[0].before, a.ToHex());
  EXPECT_EQ(record.move.messages[0].after, a.ToHex()) << "the memory store keeps ids";
  EXPECT_TRUE(record.rebuildRequested);

  // The confirmation named the destination; the settings were saved.
  ASSERT_FALSE(ui.dialogs().empty());
  const ui::Dialog shown = ui.dialogs().front();
  EXPECT_EQ(shown.title, "Confirmation");
  EXPECT_EQ(shown.Find("first")->label, "You have marked messages as Junk e-mail.");
  EXPECT_THAT(shown.Find("second")->label, HasSubstr("Inbox -> Spam."));
  UserSettings saved;
  ASSERT_TRUE(process.settingsStore().Load(&saved));
  EXPECT_THAT(Shown(saved.blackList), ElementsAre("a@bad.example", "b@bad.example"));
}

TEST_F(MarkingTest, WhereMessagesMoveDependsOnModeAndFolder) {
  struct Case {
    const char* name;
    bool inSpam;
    MarkingMode mode;
    bool moves;
  } cases[] = {
      {"junk in the spam folder stays", true, MarkingMode::kJunk, false},
      {"good outside the spam folder stays", false, MarkingMode::kGood, false},
      {"good in the spam folder goes to the Inbox", true, MarkingMode::kGood, true},
      {"good with domain likewise", true, MarkingMode::kGoodWithDomain, true},
  };
  for (const Case& c : cases) {
    const EntryId from = c.inSpam ? spam : inbox;
    EntryId m = Put(from, "x@list.example");
    MarkingRecord record = Mark(from, {m}, c.mode);
    EXPECT_EQ(record.moved, c.moves) << c.name;
    const EntryId to = c.moves ? (from == spam ? inbox : spam) : from;
    EXPECT_THAT(In(to), Contains(m)) << c.name;
    EXPECT_EQ(record.learned.size(), 1u) << c.name;
  }
  // Junk in the spam folder still blacklists; good still whitelists.
  EXPECT_THAT(Shown(process.settings().Lock()->blackList), IsEmpty())
      << "the good markings after it took the sender out again";
  EXPECT_THAT(Shown(process.settings().Lock()->whiteList), ElementsAre("@list.example"))
      << "good with domain absorbed the single address";
}

TEST_F(MarkingTest, MailingListSenderIsOfferedOncePerMessageUntilAccepted) {
  const std::string list = "Received: x\r\nlist-id : <news.list.example>\r\nFrom: x\r\n";
  EntryId first = Put(spam, "news@list.example", list);
  EntryId second = Put(spam, "news@list.example", list);
  EntryId third = Put(spam, "other@list2.example", "List-Unsubscribe: <mailto:u@x>\r\n");
  // Names that only contain a mailing-list header's name are none.
  EntryId plain = Put(spam, "person@else.example",
                      "X-List-Idea: none\r\nSubject: about the List-Id: field\r\n");
  ui.QueueAnswer(platform::IDNO);   // first: no
  ui.QueueAnswer(platform::IDYES);  // second: yes
  ui.QueueAnswer(platform::IDYES);  // third: yes
  MarkingRecord record = Mark(spam, {first, second, third, plain}, MarkingMode::kGood);
  int asked = 0;
  for (const auto& shown : ui.shown()) {
    if (shown.text.find("detected the following mailing list") != std::string::npos) ++asked;
  }
  EXPECT_EQ(asked, 3) << "the plain message has no mailing-list header";
  EXPECT_THAT(ui.texts(), Contains("Quorvel detected the following mailing list:\n"
                                   "news@list.example\nDo you want to add this address to Safe "
                                   "Recipients List? "));
  EXPECT_THAT(Shown(process.settings().Lock()->safeRecipients),
              ElementsAre("news@list.example", "other@list2.example"));
  EXPECT_EQ(record.safeRecipients.added.size(), 2u);
  // Once on the list, the sender is not offered again.
  EntryId fourth = Put(spam, "news@list.example", list);
  size_t shownBefore = ui.shown().size();
  Mark(spam, {fourth}, MarkingMode::kGood);
  for (size_t i = shownBefore; i < ui.shown().size(); ++i) {
    EXPECT_THAT(ui.shown()[i].text, Not(HasSubstr("mailing list")));
  }
}

TEST_F(MarkingTest, WithoutTheAddOptionNoListChangesAndNoQuestion) {
  process.settings().Lock()->goodAddWhiteList = 0;
  process.settings().Lock()->goodAddDomainWhiteList = 1;  // broken invariant: still nothing
  EntryId m = Put(spam, "news@list.example", "List-Id: <x>\r\n");
  EntryId n = Put(spam, "b@b.example");
  MarkingRecord record = Mark(spam, {m}, MarkingMode::kGood);
  record = Mark(spam, {n}, MarkingMode::kGoodWithDomain);
  EXPECT_THAT(Shown(process.settings().Lock()->whiteList), IsEmpty());
  EXPECT_THAT(Shown(process.settings().Lock()->safeRecipients), IsEmpty());
  EXPECT_THAT(ui.texts(), Not(Contains(HasSubstr("mailing list"))));
  EXPECT_EQ(PendingMessages(CorpusPair::kGood), 2) << "learning is not optional";
}

TEST_F(MarkingTest, ApplyToAllMovesTheSendersOtherMessagesButLearnsOnlyTheSelected) {
  process.settings().Lock()->junkApplyToAll = 1;
  EntryId chosen = Put(inbox, "s@bad.example");
  EntryId again = Put(inbox, "s@bad.example", "", "another text entirely");
  EntryId third = Put(inbox, "s@bad.example");
  EntryId otherCase = Put(inbox, "S@bad.example");
  EntryId stranger = Put(inbox, "t@bad.example");
  MarkingRecord record = Mark(inbox, {chosen}, MarkingMode::kJunk);
  EXPECT_THAT(In(spam), UnorderedElementsAre(chosen, again, third));
  EXPECT_THAT(In(inbox), UnorderedElementsAre(otherCase, stranger))
      << "the sender's address is compared exactly";
  EXPECT_EQ(PendingMessages(CorpusPair::kJunk), 1);
  EXPECT_EQ(record.learned.size(), 1u);
  EXPECT_EQ(record.move.messages.size(), 3u);
}

TEST_F(MarkingTest, CancelledConflictKeepsTheListsButStillLearnsAndMoves) {
  process.settings().Lock()->blackList.AddAddress(MakeContact("f@friend.example"), "F", 1);
  EntryId m = Put(spam, "f@friend.example");
  ui.QueueDialog(ui::ScriptedUi::Press(platform::IDOK));      // the confirmation
  ui.QueueDialog(ui::ScriptedUi::Press(platform::IDCANCEL));  // the conflict
  MarkingRecord record = Mark(spam, {m}, MarkingMode::kGood);
  EXPECT_THAT(ui.texts(), Contains(HasSubstr("are already in your Black List")));
  EXPECT_THAT(Shown(process.settings().Lock()->blackList), ElementsAre("f@friend.example"));
  EXPECT_THAT(Shown(process.settings().Lock()->whiteList), IsEmpty());
  EXPECT_TRUE(record.whiteList.empty());
  EXPECT_THAT(In(inbox), ElementsAre(m));
  EXPECT_EQ(record.learned.size(), 1u);
}

TEST_F(MarkingTest, ListEntriesAddedWhileADialogWasOpenAreKept) {
  process.settings().Lock()->blackList.AddAddress(MakeContact("f@friend.example"), "F", 1);
  EntryId m = Put(spam, "f@friend.example");
  ui.QueueDialog(ui::ScriptedUi::Press(platform::IDOK));
  ui.QueueDialog([this](ui::Dialog&) {
    // Sent mail recorded on another thread while the user reads the conflict.
    process.settings().Lock()->whiteList.AddAddress(MakeContact("new@sent.example"), "N", 1);
    return platform::IDOK;
  });
  Mark(spam, {m}, MarkingMode::kGood);
  EXPECT_THAT(Shown(process.settings().Lock()->whiteList),
              ElementsAre("f@friend.example", "new@sent.example"));
  EXPECT_THAT(Shown(process.settings().Lock()->blackList), IsEmpty());
}

TEST_F(MarkingTest, QuietModeAsksNothingAndTakesTheDefaults) {
  process.settings().Lock()->whiteList.AddAddress(MakeContact("s@bad.example"), "S", 1);
  EntryId m = Put(inbox, "s@bad.example", "List-Id: <x>\r\n");
  MarkingRecord record = Mark(inbox, {m}, MarkingMode::kJunk, /*quiet=*/true);
  EXPECT_THAT(ui.shown(), IsEmpty());
  EXPECT_TRUE(record.quiet);
  EXPECT_THAT(In(spam), ElementsAre(m));
  EXPECT_THAT(Shown(process.settings().Lock()->blackList), ElementsAre("s@bad.example"));
  EXPECT_THAT(Shown(process.settings().Lock()->whiteList), IsEmpty()) << "the conflict's default";
  EntryId g = Put(spam, "n@list.example", "List-Id: <x>\r\n");
  Mark(spam, {g}, MarkingMode::kGood, /*quiet=*/true);
  EXPECT_THAT(ui.shown(), IsEmpty()) << "no question 614 either";
  EXPECT_THAT(Shown(process.settings().Lock()->safeRecipients), IsEmpty());
}

TEST_F(MarkingTest, DoNotShowAnymoreSilencesTheConfirmation) {
  process.settings().Lock()->junkDoNotShowAnymore = 1;
  Mark(inbox, {Put(inbox, "a@bad.example")}, MarkingMode::kJunk);
  EXPECT_THAT(ui.shown(), IsEmpty());
}

TEST_F(MarkingTest, AMailBaseThatDoesNotLoadIsSaidOnceAndTheRestGoesOn) {
  MailbaseStore& store = process.mailbase().store();
  store.SetPath("/nonexistent/quorvel-test/Bayes.raw");  // nothing there, no seed
  EntryId a = Put(inbox, "a@bad.example");
  EntryId b = Put(inbox, "b@bad.example");
  EntryId c = Put(inbox, "c@bad.example");
  MarkingRecord record = Mark(inbox, {a, b, c}, MarkingMode::kJunk);
  int told = 0;
  for (const auto& shown : ui.shown())
    told += shown.text.find("Could not load spam mail base") == 0;
  EXPECT_EQ(told, 1);
  EXPECT_THAT(record.learned, IsEmpty());
  EXPECT_EQ(PendingMessages(CorpusPair::kJunk), 0);
  EXPECT_THAT(In(spam), UnorderedElementsAre(a, b, c));
  EXPECT_EQ(Shown(process.settings().Lock()->blackList).size(), 3u);
}

TEST_F(MarkingTest, MessagesGoneOrMovedSinceTheyWereSelectedAreSkipped) {
  EntryId kept = Put(inbox, "a@bad.example");
  EntryId deleted = Put(inbox, "b@bad.example");
  EntryId elsewhere = Put(inbox, "c@bad.example");
  const EntryId one[] = {deleted};
  ASSERT_EQ(Folder(inbox)->DeleteMessages(one, 0), mapi::S_OK);
  const EntryId two[] = {elsewhere};
  ASSERT_EQ(Folder(inbox)->CopyMessages(two, *Folder(box.layout.sentItems), mapi::MESSAGE_MOVE),
            mapi::S_OK);
  MarkingRecord record = Mark(inbox, {kept, deleted, elsewhere}, MarkingMode::kJunk);
  ASSERT_EQ(record.learned.size(), 1u);
  EXPECT_EQ(record.learned[0].entryId, kept.ToHex());
  EXPECT_THAT(In(spam), ElementsAre(kept));
  EXPECT_THAT(In(box.layout.sentItems), ElementsAre(elsewhere)) << "not taken from where it is";
  EXPECT_THAT(Shown(process.settings().Lock()->blackList), ElementsAre("a@bad.example"));
}

TEST_F(MarkingTest, SendersWithoutADomainAndExchangeSendersReachTheListAsTheyShould) {
  EntryId local = Put(inbox, "postmaster");
  EntryId exchange = Put(inbox, "/o=Acme/ou=Site/cn=Recipients/cn=jsmith");
  Mark(inbox, {local, exchange}, MarkingMode::kJunk);
  EXPECT_THAT(Shown(process.settings().Lock()->blackList), ElementsAre("/Acme"))
      << "an Exchange sender goes in as its organisation; a bare name not at all";
}

TEST_F(MarkingTest, ExplorerWithNothingSelectedIsMessage551) {
  auto explorer = box.application->Explorers()->Add(box.Inbox());
  MarkingContext context{process, *box.session, ui};
  MarkingRecord record = MarkExplorer(context, explorer.get(), MarkingMode::kJunk);
  EXPECT_FALSE(record.ran);
  EXPECT_THAT(ui.texts(), ElementsAre("You should select a mail item."));
  EXPECT_FALSE(MarkExplorer(context, nullptr, MarkingMode::kJunk).ran);
}

// The store refuses the move: every message stays where it was, once, and the record
// (and the journal entry made of it) says that none moved, so that undo moves nothing.
TEST_F(MarkingTest, AMoveTheStoreRefusesIsRecordedAsNoMove) {
  const EntryId a = Put(inbox, "a@bad.example");
  const EntryId b = Put(inbox, "b@bad.example");
  box.session->faults().Fail(mapi::memory::Call::kCopyMessages, inbox, mapi::MAPI_E_CALL_FAILED);
  const MarkingRecord record = Mark(inbox, {a, b}, MarkingMode::kJunk, /*quiet=*/true);
  ASSERT_TRUE(record.moved);
  EXPECT_FALSE(record.move.complete);
  for (const MovedMessage& m : record.move.messages) EXPECT_EQ(m.after, "");
  EXPECT_EQ(In(inbox).size(), 2u);
  EXPECT_TRUE(In(spam).empty());
  EXPECT_EQ(PendingMessages(CorpusPair::kJunk), 2);  // learned all the same
  const MarkingEntry entry = EntryOfRecord(record, 1);
  ASSERT_EQ(entry.messages.size(), 2u);
  for (const MarkedMessage& m : entry.messages) EXPECT_EQ(m.from, m.to);
}

}  // namespace
}  // namespace quorvel::outlook
