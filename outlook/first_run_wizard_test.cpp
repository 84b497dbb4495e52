#include "outlook/first_run_wizard.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "host/memory_host.h"
#include "lists/contact.h"
#include "mapi/queries.h"
#include "mapi/tags.h"
#include "outlook/white_list_walk.h"
#include "outlook/wizard_scan.h"
#include "platform/code_page.h"
#include "platform/registry_memory.h"
#include "testing/message_builder.h"
#include "testing/temporary_folder.h"
#include "ui/scripted_ui.h"

namespace quorvel::outlook {
namespace {

using mapi::EntryId;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
namespace wiz = ui::wizard;

// A clock whose tick count moves on by a second each time it is read.
class RunningClock final : public platform::Clock {
 public:
  platform::FileTime Now() const override { return 133'000'000'000'000'000ULL; }
  std::uint32_t TickCount() const override { return ticks_ += 1000; }

 private:
  mutable std::uint32_t ticks_ = 0;
};

// A mail base in the layout of older installations.
std::string LegacySeed() {
  const char* root = std::getenv("QUORVEL_SOURCE_DIR");
  return std::string(root ? root : ".") + "/fuzz/corpus/bayes_raw_legacy/converted_t1.raw";
}

class FirstRunWizardTest : public ::testing::Test {
 protected:
  FirstRunWizardTest() {
    process.mailbase().SetPaths(data.path() + "/", data.path() + "/");
    store().StartFresh();
    // A good corpus of 200 messages, so that a scan's counts are scaled.
    CorpusPair main;
    main.good().LearnText(u"earlier good mail", 1);
    main.good().set_messageCount(200);
    main.Half(CorpusPair::kJunk).LearnText(u"cheap pills", 1);
    store().SetMainPair(main);
  }

  MailbaseStore& store() { return process.mailbase().store(); }
  std::int32_t GoodMessages() {
    CorpusPair main = store().MainPair();
    return main.good().messageCount();
  }
  std::int32_t GoodCount(std::u16string_view token) {
    CorpusPair main = store().MainPair();
    return main.good().Count(token);
  }
  std::int32_t JunkCount(std::u16string_view token) {
    CorpusPair main = store().MainPair();
    return main.Half(CorpusPair::kJunk).Count(token);
  }
  std::shared_ptr<mapi::Folder> Folder(const EntryId& id) {
    return box.session->OpenEntry(id, 0)->As<mapi::Folder>();
  }
  // `n` sent messages to n different people (first `from` on).
  void Send(int n, int from = 0, const EntryId* folder = nullptr) {
    auto f = Folder(folder ? *folder : box.layout.sentItems);
    for (int i = from; i < from + n; ++i) {
      const std::string who = "person" + std::to_string(i);
      MessageBuilder()
          .Subject("Re: meeting " + std::to_string(i))
          .From("Me", "me@example.org")
          .To("Person " + std::to_string(i), who + "@example.com")
          .Body("agenda minutes budget " + who)
          .TextRtfBody("agenda minutes budget " + who)
          .DeliverTo(*f);
    }
  }
  void Receive(int n) { Send(n, 10000, &box.layout.inbox); }
  // Walks the wizard: Next on every page, and on `folders` the given script first.
  WizardResult Run(std::function<std::optional<wiz::ChosenFolders::Folder>()> picker = {}) {
    WizardResult result;
    WizardContext context{ui, *box.nameSpace, process, std::move(picker)};
    RunFirstRunWizard(context, result);
    return result;
  }
  std::vector<std::string> FolderRows() {
    std::vector<std::string> rows;
    for (const ui::Dialog& d : ui.dialogs()) {
      if (d.currentPage != wiz::kFolders) continue;
      rows.clear();
      for (const auto& row : d.Find(wiz::kFolderList)->rows) rows.push_back(row[0]);
    }
    return rows;
  }

  testing::TemporaryFolder data;
  platform::FakeClock clock;
  platform::RegistryMemory registry;
  ui::ScriptedUi ui;
  host::MemoryHost box{ui};
  AddInProcess process{{registry, clock, ui, data.path() + "/", data.path() + "/"}};
};

TEST_F(FirstRunWizardTest, FoldersPageOffersTheInboxBesideFewSentItems) {
  struct Case {
    int sent;
    std::vector<std::string> rows;
  };
  for (const Case& c : {Case{150, {"Sent Items", "Inbox"}}, Case{200, {"Sent Items"}}}) {
    SCOPED_TRACE(c.sent);
    ui::ScriptedUi fresh;
    host::MemoryHost mail(fresh);
    auto sent = mail.session->OpenEntry(mail.layout.sentItems, 0)->As<mapi::Folder>();
    for (int i = 0; i < c.sent; ++i) MessageBuilder().Subject("x").Body("y").DeliverTo(*sent);
    std::vector<std::string> rows;
    fresh.QueueOnPage(wiz::kFolders, [&](ui::Dialog& d) {
      for (const auto& row : d.Find(wiz::kFolderList)->rows) rows.push_back(row[0]);
      return d.cancelButton;  // closed before the scan
    });
    WizardResult result;
    WizardContext context{fresh, *mail.nameSpace, process, {}};
    RunFirstRunWizard(context, result);
    ASSERT_EQ(rows.size(), c.rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) EXPECT_THAT(rows[i], HasSubstr(c.rows[i]));
    EXPECT_FALSE(result.checkInbox);
  }
}

TEST_F(FirstRunWizardTest, AlmostEmptyMailboxShowsOnlyScanAndDoneAndImportsTheOlderBase) {
  Send(5);
  Receive(4);
  std::filesystem::copy_file(LegacySeed(), data.File(kOlderMailbase));
  WizardResult result = Run();
  EXPECT_THAT(ui.pagesPressed(), ElementsAre(wiz::kScan, wiz::kDone));
  EXPECT_FALSE(result.baseUpdated);
  EXPECT_TRUE(result.checkInbox);  // the check box starts checked
  EXPECT_FALSE(std::filesystem::exists(data.File(kOlderMailbase)));
  // The older base replaced the loaded one, and was saved.
  EXPECT_NE(GoodMessages(), 200);
  EXPECT_TRUE(std::filesystem::exists(data.File("Bayes.raw")));
  EXPECT_TRUE(std::filesystem::exists(data.File("Bayes.db")));
}

TEST_F(FirstRunWizardTest, DamagedOlderBaseIsDeletedAndNothingElseIsLost) {
  Send(3);
  store().Learn(u"learned meanwhile", u"pending", true, 5, true);
  std::ofstream(data.File(kOlderMailbase)) << "this is no mail base at all";
  WizardResult result = Run();
  EXPECT_FALSE(result.baseUpdated);
  EXPECT_FALSE(std::filesystem::exists(data.File(kOlderMailbase)));
  EXPECT_EQ(GoodMessages(), 200);
  CorpusPair pending = store().PendingPair();
  EXPECT_EQ(pending.Half(CorpusPair::kJunk).messageCount(), 1);
}

TEST_F(FirstRunWizardTest, TenLearnedMessagesReplaceTheGoodCorpusNineDoNot) {
  for (int learned : {9, 10}) {
    SCOPED_TRACE(learned);
    ui::ScriptedUi fresh;
    host::MemoryHost mail(fresh);
    auto sent = mail.session->OpenEntry(mail.layout.sentItems, 0)->As<mapi::Folder>();
    auto inbox = mail.session->OpenEntry(mail.layout.inbox, 0)->As<mapi::Folder>();
    for (int i = 0; i < learned; ++i) {
      MessageBuilder()
          .Subject("Re: plan")
          .Body("quarterly plan draft")
          .TextRtfBody("quarterly plan draft")
          .DeliverTo(*sent);
    }
    for (int i = 0; i < 5; ++i)
      MessageBuilder().Subject("in").Body("inbox words").DeliverTo(*inbox);
    // Only Sent Items is scanned: the Inbox the page offers is removed.
    fresh.QueueOnPage(wiz::kFolders,
                      ui::ScriptedUi::Select(wiz::kFolderList, {1}, wiz::kRemoveButton));
    const std::int32_t earlier = GoodCount(u"earlier");
    WizardResult result;
    WizardContext context{fresh, *mail.nameSpace, process, {}};
    RunFirstRunWizard(context, result);
    EXPECT_EQ(result.baseUpdated, learned >= 10);
    if (learned >= 10) {
      // 10 messages scaled to the 200 they replace: each count times 20.
      EXPECT_EQ(GoodMessages(), 200);
      EXPECT_EQ(GoodCount(u"quarterly"), 200);
      EXPECT_EQ(GoodCount(u"earlier"), 0);
    } else {
      EXPECT_EQ(GoodCount(u"earlier"), earlier);
      EXPECT_EQ(GoodCount(u"quarterly"), 0);
    }
    EXPECT_EQ(JunkCount(u"cheap"), 1);
  }
}

TEST_F(FirstRunWizardTest, ScanOfThreeThousandMessagesStopsAtTheRowBudget) {
  auto sent = Folder(box.layout.sentItems);
  auto inbox = Folder(box.layout.inbox);
  for (int i = 0; i < 1000; ++i) {
    MessageBuilder().Subject("s").Body("sent text").TextRtfBody("sent text").DeliverTo(*sent);
  }
  for (int i = 0; i < 2000; ++i) {
    MessageBuilder().Subject("i").Body("inbox text").TextRtfBody("inbox text").DeliverTo(*inbox);
  }
  ScanCounters counters = ScanFolders(*box.session, {box.layout.sentItems, box.layout.inbox},
                                      store(), [] { return false; }, {});
  EXPECT_TRUE(counters.budgetSpent);
  EXPECT_EQ(counters.processed, static_cast<std::uint32_t>(kScanRows - 1));
  EXPECT_EQ(counters.learned, counters.processed);
  // The budget is shared: the second folder gets what the first left.
  EXPECT_EQ(store().ScanCorpus().Count(u"sent"), 1000);
  EXPECT_EQ(store().ScanCorpus().Count(u"inbox"), kScanRows - 1 - 1000);
}

TEST_F(FirstRunWizardTest, ChoosingAFolderTwiceSaysSoAndKeepsOneEntry) {
  Send(250);
  ui.QueueOnPage(wiz::kFolders, ui::ScriptedUi::Press(wiz::kAddButton));
  ui.QueueOnPage(wiz::kFolders, ui::ScriptedUi::Press(wiz::kAddButton));
  const wiz::ChosenFolders::Folder deleted{box.layout.deletedItems.ToHex(), "Deleted Items"};
  const wiz::ChosenFolders::Folder sentAgain{box.layout.sentItems.ToHex(), "Sent Items again"};
  int picks = 0;
  Run([&]() -> std::optional<wiz::ChosenFolders::Folder> {
    return ++picks == 1 ? deleted : sentAgain;
  });
  EXPECT_THAT(ui.texts(), Contains("This folder is already added."));
  std::vector<std::string> rows = FolderRows();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_THAT(rows[0], HasSubstr("Sent Items"));
  EXPECT_EQ(rows[1], "Deleted Items");
}

TEST_F(FirstRunWizardTest, AnEmptyFolderListIsRefused) {
  Send(250);
  ui.QueueOnPage(wiz::kFolders, ui::ScriptedUi::Select(wiz::kFolderList, {0}, wiz::kRemoveButton));
  ui.QueueOnPage(wiz::kFolders, ui::ScriptedUi::Press(ui::kNextButton));
  ui.QueueOnPage(wiz::kFolders, [](ui::Dialog& d) { return d.cancelButton; });
  WizardResult result = Run();
  EXPECT_THAT(ui.texts(), Contains("Please select at least one mail folder."));
  EXPECT_FALSE(result.baseUpdated);
}

TEST_F(FirstRunWizardTest, ClosedDuringTheScanLeavesTheMailBaseAsItWas) {
  Send(300);
  ui.CancelProgressAfter(40);
  const std::int32_t messages = GoodMessages(), earlier = GoodCount(u"earlier");
  WizardResult result = Run();
  EXPECT_FALSE(result.baseUpdated);
  EXPECT_FALSE(result.checkInbox);
  EXPECT_EQ(store().ScanCorpus().messageCount(), 0);
  EXPECT_EQ(GoodMessages(), messages);
  EXPECT_EQ(GoodCount(u"earlier"), earlier);
  EXPECT_FALSE(std::filesystem::exists(data.File("Bayes.raw")));
  // The contacts collected before still count.
  EXPECT_TRUE(process.settings().Lock()->whiteList.Find(MakeContact("person1@example.com")));
}

TEST_F(FirstRunWizardTest, CollectedContactsJoinTheWhiteListAndLeaveTheBlackList) {
  auto book = box.session->AddAbContainer("Personal", true);
  box.session->AddAbEntry(book, "Ann Display", "ann@example.org", "SMTP", "Ann Alias");
  box.session->AddAbEntry(book, "Directory", "/o=Acme/ou=Site/cn=Recipients/cn=jsmith", "EX");
  auto global = box.session->AddAbContainer("Global", false);
  box.session->AddAbEntry(global, "Everyone", "everyone@corp.example");
  // A contact item with its first address as a named property.
  auto contacts = Folder(box.layout.contacts);
  auto item = contacts->CreateMessage(0);
  const mapi::PropName email1{mapi::PSETID_Address, false, mapi::kContactEmail1Number, {}};
  auto tags = (*item)->GetIDsFromNames(std::span(&email1, 1), mapi::MAPI_CREATE);
  const mapi::PropValue values[] = {
      mapi::PropValue::String8(mapi::CHANGE_PROP_TYPE((*tags)[0], mapi::PT_STRING8),
                               "cy@example.net"),
      mapi::PropValue::String8(mapi::PR_DISPLAY_NAME, "Cy"),
      mapi::PropValue::String8(mapi::PR_MESSAGE_CLASS, "IPM.Contact")};
  (*item)->SetProps(values);
  (*item)->SaveChanges(0);
  Send(20);
  {
    auto live = process.settings().Lock();
    live->blackList.AddAddress(MakeContact("person3@example.com"), "", 1);
    live->whiteList.AddAddress(MakeContact("ann@example.org"), "Kept Name", 1);
  }
  Run();
  auto live = process.settings().Lock();
  EXPECT_EQ(live->showWizard, 0u);
  EXPECT_EQ(live->whiteList.Find(MakeContact("ann@example.org"))->Name(), "Kept Name");
  EXPECT_TRUE(live->whiteList.Find(MakeContact("cy@example.net")));
  EXPECT_TRUE(live->whiteList.Find(MakeContact("person19@example.com")));
  EXPECT_FALSE(live->whiteList.Find(MakeContact("everyone@corp.example")));
  auto acme = live->whiteList.FindGroup(MakeContact("/o=Acme/ou=Site/cn=x"));
  ASSERT_TRUE(acme);
  EXPECT_TRUE(acme->IsDomainEntry());
  EXPECT_FALSE(live->blackList.Find(MakeContact("person3@example.com")));
}

TEST(WhiteListWalkTest, SentItemsWalkEndsAtItsTimeLimit) {
  ui::ScriptedUi ui;
  host::MemoryHost box(ui);
  auto sent = box.session->OpenEntry(box.layout.sentItems, 0)->As<mapi::Folder>();
  for (int i = 0; i < 300; ++i) {
    MessageBuilder().To("P", "p" + std::to_string(i) + "@example.com").DeliverTo(*sent);
  }
  RunningClock clock;
  ContactList collected;
  WalkReport report = CollectWhiteListContacts(*box.nameSpace, clock, collected, {});
  EXPECT_TRUE(report.budgetSpent);
  // The first step starts the clock; the step found more than 240 s after it throws.
  EXPECT_EQ(report.sentMessages, 241u);
  EXPECT_EQ(collected.Count(), 1u);  // one domain group
  EXPECT_TRUE(collected.Find(MakeContact("p240@example.com")));
  EXPECT_FALSE(collected.Find(MakeContact("p241@example.com")));
}

TEST(WhiteListWalkTest, AFailingCallSkipsTheRestButKeepsWhatWasCollected) {
  ui::ScriptedUi ui;
  host::MemoryHost box(ui);
  auto book = box.session->AddAbContainer("Personal", true);
  box.session->AddAbEntry(book, "Ann", "ann@example.org");
  auto sent = box.session->OpenEntry(box.layout.sentItems, 0)->As<mapi::Folder>();
  MessageBuilder().To("P", "p@example.com").DeliverTo(*sent);
  box.session->faults().Fail(mapi::memory::Call::kGetIDsFromNames, box.layout.contacts,
                             mapi::MAPI_E_CALL_FAILED);
  platform::FakeClock clock;
  ContactList collected;
  std::vector<int> progress;
  WalkReport report = CollectWhiteListContacts(*box.nameSpace, clock, collected,
                                               [&](int p) { progress.push_back(p); });
  EXPECT_EQ(report.failure, mapi::MAPI_E_CALL_FAILED);
  EXPECT_TRUE(collected.Find(MakeContact("ann@example.org")));
  EXPECT_FALSE(collected.Find(MakeContact("p@example.com")));
  EXPECT_THAT(progress, ElementsAre(0, 20, 40));
}

TEST_F(FirstRunWizardTest, UnloadableMailBaseShowsItsMessageAndNoWizard) {
  process.mailbase().SetPaths(data.File("missing/"), data.File("missing/"));
  Run();
  EXPECT_THAT(ui.texts(), Contains(HasSubstr("Could not load spam mail base.")));
  EXPECT_TRUE(ui.dialogs().empty());
  EXPECT_EQ(process.settings().Lock()->showWizard, 1u);
}

// Add's picker offers the mail folders only, each by its names from the top, and gives
// the one chosen with its entry id; Cancel gives nothing.
TEST_F(FirstRunWizardTest, ThePickerOffersTheMailFoldersByTheirNamesFromTheTop) {
  std::vector<std::string> offered;
  ui.QueueDialog([&offered](ui::Dialog& d) {
    ui::Control* choice = d.Find("folder");
    offered = choice->options;
    for (std::size_t i = 0; i < offered.size(); ++i) {
      if (offered[i] == "Inbox") choice->selected = static_cast<std::int32_t>(i);
    }
    return platform::IDOK;
  });
  std::optional<wiz::ChosenFolders::Folder> picked = PickWizardFolder(ui, *box.nameSpace);
  ASSERT_TRUE(picked.has_value());
  EXPECT_EQ(picked->entryId, box.layout.inbox.ToHex());
  EXPECT_EQ(picked->path, "Inbox");
  // Contacts holds no mail.
  EXPECT_THAT(offered, ElementsAre("Inbox", "Outbox", "Sent Items", "Deleted Items", "Drafts"));

  ui.QueueDialog(ui::ScriptedUi::Select("folder", {0}, platform::IDCANCEL));
  EXPECT_FALSE(PickWizardFolder(ui, *box.nameSpace).has_value());
}

}  // namespace
}  // namespace quorvel::outlook
