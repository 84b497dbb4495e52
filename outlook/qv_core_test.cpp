#include "outlook/qv_core.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "host/background_ui.h"
#include "host/memory_host.h"
#include "host/pending_interactions.h"
#include "host/store_namespace.h"
#include "lists/contact.h"
#include "mapi/queries.h"
#include "platform/code_page.h"
#include "platform/registry_memory.h"
#include "settings/settings_store.h"
#include "testing/message_builder.h"
#include "ui/scripted_ui.h"

namespace quorvel::outlook {
namespace {

using mapi::EntryId;

template <typename F>
bool WaitUntil(F done) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

bool Contains(const std::vector<std::string>& texts, std::string_view text) {
  for (const std::string& t : texts) {
    if (t.find(text) != std::string::npos) return true;
  }
  return false;
}

class QVCoreTest : public ::testing::Test {
 protected:
  QVCoreTest() {
    // The user's lists, as the registry holds them before the host starts.
    UserSettings stored;
    stored.blackList.AddAddress(MakeContact("spammer@bad.example"), "", 1);
    stored.whiteList.AddAddress(MakeContact("friend@good.example"), "", 1);
    stored.trayNotification = 1;
    SettingsStore(registry, "", clock).Save(&stored);
  }

  std::unique_ptr<QVCore> MakeCore() {
    return std::make_unique<QVCore>(CoreOptions{.process = process,
                                                .optionsSheet =
                                                    [this](std::uint32_t page) {
                                                      pagesAsked.push_back(page);
                                                      return false;
                                                    },
                                                .log =
                                                    [this](const std::string& line) {
                                                      std::lock_guard<std::mutex> lock(logMutex);
                                                      logLines.push_back(line);
                                                    }});
  }
  std::vector<std::string> Log() {
    std::lock_guard<std::mutex> lock(logMutex);
    return logLines;
  }
  EntryId SpamFolderId() {
    auto ref = process.settings().GetSpamFolder();
    auto id = ref ? EntryId::FromHex(platform::WideToAnsi(ref->entryId)) : std::nullopt;
    return id ? *id : EntryId();
  }
  std::vector<EntryId> MessagesIn(mapi::memory::MemorySession& session, const EntryId& folder) {
    std::vector<EntryId> ids;
    auto opened = session.OpenEntry(folder, 0);
    if (!opened.ok()) return ids;
    auto table = opened->As<mapi::Folder>()->GetContentsTable(0);
    const mapi::PropTag columns[] = {mapi::PR_ENTRYID};
    auto rows = mapi::HrQueryAllRows(**table, columns, std::nullopt);
    for (const mapi::Row& row : *rows) ids.push_back(mapi::GetEntryId(row, mapi::PR_ENTRYID));
    return ids;
  }

  platform::SystemClock clock;
  platform::RegistryMemory registry;
  ui::ScriptedUi ui;
  AddInProcess process{{registry, clock, ui, "", ""}};
  std::vector<std::uint32_t> pagesAsked;
  std::mutex logMutex;
  std::vector<std::string> logLines;
};

TEST_F(QVCoreTest, NewSpamInTheInboxEndsInTheSpamFolderAndIsAnnounced) {
  host::MemoryHost box(ui, "Work");
  auto core = MakeCore();
  ASSERT_EQ(core->Initialize(box.application.get()), mapi::S_OK);
  EXPECT_TRUE(core->initialized());
  EXPECT_EQ(core->outboxMessageClass(), "IPM.Note");
  EXPECT_EQ(process.settings().Lock()->profileKey, "Work");
  // The Inbox's "Spam" is named, not made: the first spam makes it.
  EXPECT_TRUE(SpamFolderId().empty());
  EXPECT_EQ(process.settings().GetSpamFolder()->friendlyName.substr(
                process.settings().GetSpamFolder()->friendlyName.size() - 13),
            u"Inbox -> Spam");
  EXPECT_TRUE(pagesAsked.empty());

  auto inbox = box.session->OpenEntry(box.layout.inbox, 0)->As<mapi::Folder>();
  EntryId bad =
      *MessageBuilder().Subject("offer").From("S", "spammer@bad.example").DeliverTo(*inbox);
  EntryId good = *MessageBuilder().Subject("hi").From("F", "friend@good.example").DeliverTo(*inbox);
  EntryId spam;
  ASSERT_TRUE(WaitUntil([&] {
    spam = SpamFolderId();
    return MessagesIn(*box.session, spam).size() == 1;
  }));
  EXPECT_EQ(MessagesIn(*box.session, spam), std::vector<EntryId>{bad});
  EXPECT_TRUE(WaitUntil([&] { return !process.queue().HasPending(); }));
  EXPECT_EQ(MessagesIn(*box.session, box.layout.inbox), std::vector<EntryId>{good});
  EXPECT_TRUE(WaitUntil([&] { return Contains(Log(), "You've got 1 spam message"); }));

  // A person goes through the wizard (on its defaults): it is no longer due.
  process.mailbase().store().StartFresh();
  ASSERT_EQ(core->InitialWizard(), mapi::S_OK);
  EXPECT_EQ(process.settings().Lock()->showWizard, 0u);
  EXPECT_TRUE(Contains(ui.texts(), "Welcome to Quorvel!"));
  // Its check box, checked after the scan, ran the folder check on the Inbox.
  EXPECT_TRUE(Contains(ui.texts(), "Check done: 1 message checked"));
  ASSERT_EQ(core->Shutdown(), mapi::S_OK);
  // The settings were saved, the spam folder among them.
  UserSettings saved;
  ASSERT_TRUE(SettingsStore(registry, "", clock).Load(&saved));
  saved.profileKey = "Work";
  ASSERT_TRUE(saved.GetSpamFolder());
  EXPECT_EQ(saved.showWizard, 0u);
}

TEST_F(QVCoreTest, TheInboxAsSpamFolderIsReportedAndTheOptionsOpenOnTheFirstPage) {
  host::MemoryHost box(ui, "Work");
  {
    UserSettings stored;
    stored.profileKey = "Work";
    stored.lastOptionsPage = 3;
    stored.SetSpamFolder({platform::AnsiToWide(box.layout.inbox.ToHex()), u""});
    SettingsStore(registry, "", clock).Save(&stored);
  }
  auto core = MakeCore();
  ASSERT_EQ(core->Initialize(box.application.get()), mapi::S_OK);
  EXPECT_TRUE(Contains(ui.texts(), "You set Inbox as  spam storage."));
  EXPECT_EQ(pagesAsked, std::vector<std::uint32_t>{0});
  EXPECT_EQ(process.settings().Lock()->lastOptionsPage, 0u);
}

TEST_F(QVCoreTest, ShowOptionsChecksTheSpamFolderFirst) {
  host::MemoryHost box(ui, "Work");
  auto core = MakeCore();
  ASSERT_EQ(core->Initialize(box.application.get()), mapi::S_OK);
  process.settings().Lock()->lastOptionsPage = 4;
  ASSERT_EQ(core->ShowOptions(), mapi::S_OK);
  EXPECT_EQ(pagesAsked, std::vector<std::uint32_t>{4});  // found: the last page

  process.settings().SetSpamFolder({u"", u""});  // forgotten: the Inbox's Spam again
  ASSERT_EQ(core->ShowOptions(), mapi::S_OK);
  EXPECT_TRUE(Contains(ui.texts(), "Spam folder cannot be found."));
  EXPECT_EQ(pagesAsked.back(), 0u);

  box.session->faults().Fail(mapi::memory::Call::kGetMsgStoresTable, {}, mapi::MAPI_E_CALL_FAILED);
  process.settings().SetSpamFolder({u"", u""});
  ASSERT_EQ(core->ShowOptions(), mapi::S_OK);
  EXPECT_TRUE(Contains(ui.texts(), "Quorvel cannot find spam folder."));
}

// A settings value that did not load at the start (a list stored as text) once came
// back as an empty list when the host stopped and saved; it stays as it is on disk
// for the user to repair, while the rest is saved.
TEST_F(QVCoreTest, ASettingThatDidNotLoadIsNotSavedOverWhenTheHostStops) {
  const auto hkcu = platform::RegRoot::kCurrentUser;
  ASSERT_EQ(registry.CreateKey(hkcu, kSettingsKey), 0);
  ASSERT_EQ(registry.SetValue(hkcu, kSettingsKey, "WhiteList", platform::RegValue::String("a@b.c")),
            0);
  host::MemoryHost box(ui, "Work");
  auto core = MakeCore();
  ASSERT_EQ(core->Initialize(box.application.get()), mapi::S_OK);
  EXPECT_EQ(process.settingsIssues().unloaded, std::vector<std::string>{"WhiteList"});
  EXPECT_NE(process.settingsError().find("WhiteList"), std::string::npos);
  process.settings().Lock()->markSpamAsRead = 1;
  ASSERT_EQ(core->Shutdown(), mapi::S_OK);

  platform::RegValue kept;
  ASSERT_EQ(registry.QueryValue(hkcu, kSettingsKey, "WhiteList", &kept), 0);
  EXPECT_EQ(kept.type, platform::REG_SZ);
  EXPECT_EQ(kept.data, platform::RegValue::String("a@b.c").data);
  UserSettings saved;
  SettingsStore(registry, "", clock).Load(&saved);
  EXPECT_EQ(saved.markSpamAsRead, 1u);
}

TEST_F(QVCoreTest, AFailedStartShowsWhyAndSavesNothing) {
  auto core = MakeCore();
  EXPECT_EQ(core->Initialize(nullptr), mapi::E_FAIL);
  EXPECT_FALSE(core->initialized());
  EXPECT_TRUE(Contains(ui.texts(), "Quorvel cannot reach the mail program."));
  EXPECT_EQ(core->ShowOptions(), mapi::S_OK);
  EXPECT_TRUE(pagesAsked.empty());
  registry.DeleteTree(platform::RegRoot::kCurrentUser, "Software");
  core->Shutdown();
  UserSettings saved;
  EXPECT_FALSE(SettingsStore(registry, "", clock).Load(&saved));
}

TEST_F(QVCoreTest, TheStartUpScanQueuesUnreadInboxMailOfServerStoresOnly) {
  for (bool server : {true, false}) {
    SCOPED_TRACE(server);
    auto session = mapi::memory::MemorySession::Create();
    auto layout =
        session->AddStore({.provider = server ? std::string(mapi::pbExchangeProviderPrimaryUserGuid)
                                              : std::string(mapi::pbPersonalStoreProviderGuid),
                           .isDefault = true});
    auto inbox = session->OpenEntry(layout.inbox, 0)->As<mapi::Folder>();
    EntryId unread = *MessageBuilder().Subject("new").SaveIn(*inbox);
    MessageBuilder().Subject("seen").Read().SaveIn(*inbox);
    auto ns = host::StoreNameSpace::Create(session, "P", {});
    host::Application application(ns, ui);
    PendingQueue& queue = process.queue();
    auto core = MakeCore();
    ASSERT_EQ(core->Initialize(&application), mapi::S_OK);
    core->worker()->Stop();  // keep what the scan queues
    while (auto next = queue.PeekNext()) queue.Complete(next->messageId, false);
    ASSERT_EQ(core->PostStartupActions(), mapi::S_OK);
    auto queued = queue.Snapshot();
    if (server) {
      ASSERT_EQ(queued.size(), 1u);
      EXPECT_EQ(queued[0].messageId, unread);
      EXPECT_EQ(queued[0].origin, kOriginStartupScan);
    } else {
      EXPECT_TRUE(queued.empty());
    }
    core->Shutdown();
    while (auto next = queue.PeekNext()) queue.Complete(next->messageId, false);
  }
}

TEST_F(QVCoreTest, WaitUntilIdleReturnsWhenWhatTheStartUpScanQueuedIsJudged) {
  auto session = mapi::memory::MemorySession::Create();
  auto layout = session->AddStore(
      {.provider = std::string(mapi::pbExchangeProviderPrimaryUserGuid), .isDefault = true});
  auto inbox = session->OpenEntry(layout.inbox, 0)->As<mapi::Folder>();
  // Arrived while no host ran.
  std::vector<EntryId> bad;
  for (int i = 0; i < 30; ++i) {
    bad.push_back(*MessageBuilder()
                       .Subject("offer " + std::to_string(i))
                       .From("S", "spammer@bad.example")
                       .SaveIn(*inbox));
    MessageBuilder().Subject("hi").From("F", "friend@good.example").SaveIn(*inbox);
  }
  auto ns = host::StoreNameSpace::Create(session, "P", {});
  host::Application application(ns, ui);
  auto core = MakeCore();
  core->WaitUntilIdle();  // before the start: at once
  ASSERT_EQ(core->Initialize(&application), mapi::S_OK);
  ASSERT_EQ(core->PostStartupActions(), mapi::S_OK);
  core->WaitUntilIdle();
  EXPECT_FALSE(process.queue().HasPending());
  EXPECT_EQ(MessagesIn(*session, SpamFolderId()).size(), bad.size());
  EXPECT_EQ(MessagesIn(*session, layout.inbox).size(), 30u);
  core->Shutdown();
  core->WaitUntilIdle();  // after the end: at once
}

}  // namespace
}  // namespace quorvel::outlook

namespace quorvel::outlook {
namespace {

// A host without a person: the wizard waits as a pending question; Skip declines it,
// the `wizard` command runs it (taking the question back), --yes runs it at once.
TEST_F(QVCoreTest, WithoutAPersonTheWizardWaitsForOneOrRunsOnItsDefaults) {
  host::BackgroundUi nobody([](const std::string&) {}, nullptr);
  host::MemoryHost box(nobody, "Work");
  host::PendingInteractions pending;
  box.application->SetPendingQueue(&pending);
  auto core = MakeCore();
  ASSERT_EQ(core->Initialize(box.application.get()), mapi::S_OK);
  process.mailbase().store().StartFresh();

  ASSERT_EQ(core->InitialWizard(), mapi::S_OK);
  auto waiting = pending.List();
  ASSERT_EQ(waiting.size(), 1u);
  EXPECT_EQ(waiting[0].kind, "wizard");
  EXPECT_EQ(process.settings().Lock()->showWizard, 1u);
  // Skip declines it for good.
  ASSERT_TRUE(pending.Take(waiting[0].id, 5));
  ASSERT_TRUE(pending.Answer(waiting[0].id, 5, {ui::wizard::kSkipButton}));
  EXPECT_EQ(process.settings().Lock()->showWizard, 0u);
  // The start-up actions ran when the wizard was offered, not after the Skip.
  EXPECT_EQ(box.application->loop().RunPending(), 0);

  // Due again: the command runs it on its presenter's defaults and withdraws the offer.
  process.settings().Lock()->showWizard = 1;
  ASSERT_EQ(core->InitialWizard(), mapi::S_OK);
  ASSERT_EQ(pending.Count(), 1u);
  ASSERT_EQ(core->RunWizardOnDemand(), mapi::S_OK);
  EXPECT_EQ(pending.Count(), 0u);
  EXPECT_EQ(process.settings().Lock()->showWizard, 0u);
  EXPECT_EQ(box.application->loop().RunPending(), 0);
  core->Shutdown();

  // With --yes nothing waits.
  process.settings().Lock()->showWizard = 1;
  CoreOptions onDefaults{.process = process, .wizardOnDefaults = true};
  QVCore yes(onDefaults);
  ASSERT_EQ(yes.Initialize(box.application.get()), mapi::S_OK);
  process.mailbase().store().StartFresh();
  ASSERT_EQ(yes.InitialWizard(), mapi::S_OK);
  EXPECT_EQ(pending.Count(), 0u);
  EXPECT_EQ(process.settings().Lock()->showWizard, 0u);
  yes.Shutdown();
}

}  // namespace
}  // namespace quorvel::outlook
