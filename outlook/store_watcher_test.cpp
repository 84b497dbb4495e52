#include "outlook/store_watcher.h"

#include <gtest/gtest.h>

#include "lists/contact.h"
#include "mapi/memory/memory_session.h"
#include "testing/message_builder.h"
#include "testing/test_mailbox.h"

namespace quorvel::outlook {
namespace {

using mapi::EntryId;
using mapi::memory::Call;
using mapi::memory::StoreLayout;
using mapi::memory::StoreOptions;

class StoreWatcherTest : public ::testing::Test {
 protected:
  StoreWatcherTest() { settings.Lock()->respectOutlookRules = 1; }

  void Watch() { ASSERT_EQ(watcher->AdviseStores(box.session), mapi::S_OK); }
  EntryId Deliver(const EntryId& folder, MessageBuilder builder = MessageBuilder()) {
    EntryId id = *builder.Subject("hi").DeliverTo(*box.OpenFolder(folder));
    box.session->DispatchNotifications();
    return id;
  }
  bool Queued(const EntryId& id) {
    for (const PendingMessage& m : queue.Snapshot()) {
      if (m.messageId == id) return m.origin == kOriginNotification;
    }
    return false;
  }
  void Drain() {
    while (auto next = queue.PeekNext()) queue.Complete(next->messageId, false);
  }

  TestMailbox box;  // the default personal store
  platform::FakeClock clock;
  SettingsHolder settings;
  PendingQueue queue{clock, settings};
  SentMailRecorder recorder{settings, clock};
  std::shared_ptr<StoreWatcher> watcher = std::make_shared<StoreWatcher>(queue, recorder, clock);
};

TEST_F(StoreWatcherTest, WhichStoresAreWatched) {
  auto exchangeOptions = [](bool isDefault) {
    StoreOptions o;
    o.displayName = isDefault ? "Mailbox" : "Other mailbox";
    o.provider = std::string(mapi::pbExchangeProviderPrimaryUserGuid);
    o.serviceName = "MSEMS";
    o.isDefault = isDefault;
    return o;
  };
  StoreOptions interstor;
  interstor.displayName = "Archive";
  interstor.serviceName = "INTERSTOR";
  StoreOptions plain;
  plain.displayName = "Old";
  // The memory session makes the first default store the default; ours already is.
  StoreLayout second = box.session->AddStore(exchangeOptions(false));
  StoreLayout archive = box.session->AddStore(interstor);
  StoreLayout old = box.session->AddStore(plain);
  Watch();
  EXPECT_EQ(watcher->RegistrationCount(), 2u);  // the default store and the INTERSTOR one

  EntryId inDefault = Deliver(box.layout.inbox);
  EntryId inArchive = Deliver(archive.inbox);
  Deliver(old.inbox);
  Deliver(second.inbox);
  EXPECT_EQ(queue.PendingCount(), 2u);
  EXPECT_TRUE(Queued(inArchive));
  EXPECT_TRUE(Queued(inDefault));

  // With the provider table unreadable every personal store is watched.
  watcher->UnadviseStores();
  box.session->faults().Fail(Call::kGetProviderTable, {}, mapi::MAPI_E_CALL_FAILED);
  Watch();
  EXPECT_EQ(watcher->RegistrationCount(), 3u);
}

TEST_F(StoreWatcherTest, OnlyTheDefaultExchangeMailboxIsWatchedForNewMail) {
  TestMailbox exchange([] {
    StoreOptions o;
    o.provider = std::string(mapi::pbExchangeProviderPrimaryUserGuid);
    o.isDefault = true;
    o.shortTermNewMailIds = true;
    return o;
  }());
  ASSERT_EQ(watcher->AdviseStores(exchange.session), mapi::S_OK);
  EXPECT_EQ(watcher->RegistrationCount(), 1u);
  EntryId mine =
      *MessageBuilder().Subject("a").DisplayTo("Me at Work").DeliverTo(*exchange.Inbox());
  EntryId other =
      *MessageBuilder().Subject("b").DisplayTo("me@work.example").DeliverTo(*exchange.Inbox());
  exchange.session->DispatchNotifications();
  // Queued under the permanent ids, not the short-term ones the event carried.
  EXPECT_EQ(queue.PendingCount(), 2u);
  EXPECT_EQ(queue.PeekNext()->parentId, exchange.layout.inbox);
  EXPECT_TRUE(Queued(mine));
  EXPECT_TRUE(Queued(other));
  // A To line of names is one of the user's own names; one with an address is not.
  auto live = settings.Lock();
  EXPECT_TRUE(live->sentFromNames.Find(MakeContact("Me at Work")));
  EXPECT_FALSE(live->sentFromNames.Find(MakeContact("me@work.example")));
}

TEST_F(StoreWatcherTest, OutboxIsIgnoredSentItemsRecordedAndOtherMovesReported) {
  settings.Lock()->autoAddToWhiteList = 1;
  Watch();
  EntryId draft = *MessageBuilder()
                       .Subject("Quarterly figures")
                       .From("Me at Work", "me@work.example")
                       .To("Bob", "bob@example.com")
                       .SaveIn(*box.OpenFolder(box.layout.outbox));
  box.session->DispatchNotifications();
  EXPECT_FALSE(queue.HasPending());

  const EntryId ids[] = {draft};
  ASSERT_EQ(box.OpenFolder(box.layout.outbox)
                ->CopyMessages(ids, *box.OpenFolder(box.layout.sentItems), mapi::MESSAGE_MOVE),
            mapi::S_OK);
  box.session->DispatchNotifications();
  EXPECT_FALSE(queue.HasPending());
  {
    auto live = settings.Lock();
    EXPECT_TRUE(live->whiteList.Find(MakeContact("bob@example.com")));
    EXPECT_TRUE(live->sentSubjs.Find(MakeContact("Quarterly figures")));
    EXPECT_TRUE(live->sentFromNames.Find(MakeContact("Me at Work")));
  }

  // A queued message that a rule moves elsewhere is dropped (RespectOutlookRules).
  EntryId folder = box.AddFolder(box.layout.inbox, "Lists");
  EntryId mail = Deliver(box.layout.inbox);
  ASSERT_TRUE(queue.HasPending());
  const EntryId moved[] = {mail};
  ASSERT_EQ(box.Inbox()->CopyMessages(moved, *box.OpenFolder(folder), mapi::MESSAGE_MOVE),
            mapi::S_OK);
  box.session->DispatchNotifications();
  EXPECT_FALSE(queue.HasPending());
}

TEST_F(StoreWatcherTest, SentMailWrittenStraightIntoSentItemsIsRecorded) {
  settings.Lock()->autoAddToWhiteList = 0;  // the subject and name still count
  Watch();
  MessageBuilder()
      .Subject("Minutes")
      .From("Ann Lee", "ann@example.com")
      .To("Carl", "carl@example.com")
      .SaveIn(*box.OpenFolder(box.layout.sentItems));
  box.session->DispatchNotifications();
  auto live = settings.Lock();
  EXPECT_FALSE(live->whiteList.Find(MakeContact("carl@example.com")));
  EXPECT_TRUE(live->sentSubjs.Find(MakeContact("Minutes")));
  EXPECT_TRUE(live->sentFromNames.Find(MakeContact("Ann Lee")));
}

TEST_F(StoreWatcherTest, ANewReceiveFolderIsRecognisedWithinTheHour) {
  EntryId faxes = box.AddFolder(box.layout.ipmSubtree, "Faxes");
  Watch();
  Deliver(box.layout.inbox);  // fills the caches
  Drain();
  ASSERT_EQ(box.OpenStore()->SetReceiveFolder("IPM.Fax", faxes, 0), mapi::S_OK);
  Deliver(faxes);
  EXPECT_FALSE(queue.HasPending());
  clock.AdvanceMs(3600 * 1000);
  EntryId fax = Deliver(faxes);
  EXPECT_TRUE(Queued(fax));
}

TEST_F(StoreWatcherTest, UnreadableStoreTableFailsAndUnadviseStopsEverything) {
  box.session->faults().Fail(Call::kGetMsgStoresTable, {}, mapi::MAPI_E_CALL_FAILED, 1);
  EXPECT_EQ(watcher->AdviseStores(box.session), mapi::MAPI_E_CALL_FAILED);
  Watch();
  watcher->UnadviseStores();
  Deliver(box.layout.inbox);
  EXPECT_FALSE(queue.HasPending());
  // A watcher that goes away while registered leaves no sink that reaches it.
  Watch();
  watcher.reset();
  Deliver(box.layout.inbox);
  EXPECT_FALSE(queue.HasPending());
}

}  // namespace
}  // namespace quorvel::outlook
