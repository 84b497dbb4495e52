#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "mapi/queries.h"
#include "testing/message_builder.h"
#include "testing/recording_sink.h"
#include "testing/test_mailbox.h"

namespace quorvel::mapi::memory {
namespace {

using quorvel::MessageBuilder;
using quorvel::RecordingSink;
using quorvel::TestMailbox;

// Calls a function from OnNotify, on the store's thread.
class CallbackSink final : public AdviseSink {
 public:
  explicit CallbackSink(std::function<void(std::span<const Notification>)> fn)
      : fn_(std::move(fn)) {}
  HRESULT OnNotify(std::span<const Notification> n) override {
    fn_(n);
    return S_OK;
  }

 private:
  std::function<void(std::span<const Notification>)> fn_;
};

TEST(NotificationsTest, NewMailComesWithObjectCreatedInOneBatchOnTheStoreThread) {
  TestMailbox box;
  std::atomic<std::thread::id> seenOn{};
  auto recorder = std::make_shared<RecordingSink>();
  auto sink = std::make_shared<CallbackSink>([&](std::span<const Notification> n) {
    seenOn = std::this_thread::get_id();
    recorder->OnNotify(n);
  });
  ASSERT_TRUE(box.OpenStore()->Advise({}, fnevNewMail | fnevObjectCreated, sink).ok());
  EntryId id = *MessageBuilder().Class("IPM.Note.Custom").DeliverTo(*box.Inbox());
  box.session->DispatchNotifications();
  EXPECT_NE(seenOn.load(), std::this_thread::get_id());
  EXPECT_EQ(recorder->BatchCount(), 1u);
  auto all = recorder->All();
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0].eventType, fnevObjectCreated);
  EXPECT_EQ(all[0].objectType, MAPI_MESSAGE);
  EXPECT_EQ(all[1].eventType, fnevNewMail);
  EXPECT_EQ(all[1].entryId, id);
  EXPECT_EQ(all[1].parentId, box.layout.inbox);
  EXPECT_EQ(all[1].messageClass, "IPM.Note.Custom");
}

TEST(NotificationsTest, MaskAndTargetChooseWhatASinkHears) {
  TestMailbox box;
  EntryId spam = box.AddFolder(box.layout.inbox, "Spam");
  auto store = box.OpenStore();
  auto created = std::make_shared<RecordingSink>();
  auto spamOnly = std::make_shared<RecordingSink>();
  auto otherStore = std::make_shared<RecordingSink>();
  ASSERT_TRUE(store->Advise({}, fnevObjectCreated, created).ok());
  ASSERT_TRUE(store->Advise(spam, fnevObjectCreated | fnevObjectMoved, spamOnly).ok());
  StoreLayout other = box.session->AddStore({});
  ASSERT_TRUE(
      (*box.session->OpenMsgStore(other.store, 0))->Advise({}, 0xFFFFFFFF, otherStore).ok());

  EntryId a = *MessageBuilder().SaveIn(*box.Inbox());
  EntryId ids[] = {a};
  ASSERT_EQ(box.Inbox()->CopyMessages(ids, *box.OpenFolder(spam), MESSAGE_MOVE), S_OK);
  box.session->DispatchNotifications();
  EXPECT_EQ(created->All().size(), 1u);  // the move is not a creation
  auto spamEvents = spamOnly->All();
  ASSERT_EQ(spamEvents.size(), 1u);
  EXPECT_EQ(spamEvents[0].eventType, fnevObjectMoved);
  EXPECT_TRUE(otherStore->All().empty());
}

TEST(NotificationsTest, UnadviseStopsDelivery) {
  TestMailbox box;
  auto store = box.OpenStore();
  auto sink = std::make_shared<RecordingSink>();
  auto connection = store->Advise({}, fnevObjectCreated, sink);
  ASSERT_TRUE(connection.ok());
  EXPECT_NE(*connection, 0u);
  ASSERT_EQ(store->Unadvise(*connection), S_OK);
  MessageBuilder().SaveIn(*box.Inbox());
  box.session->DispatchNotifications();
  EXPECT_TRUE(sink->All().empty());
  EXPECT_EQ(store->Unadvise(*connection), MAPI_E_NOT_FOUND);
}

TEST(NotificationsTest, SinkMayCallBackIntoTheStoreAndUnadviseItself) {
  TestMailbox box;
  auto store = box.OpenStore();
  std::atomic<std::uint32_t> connection{0};
  std::string subject;
  HRESULT unadvised = E_FAIL;
  auto sink = std::make_shared<CallbackSink>([&](std::span<const Notification> n) {
    auto message = box.session->OpenEntry(n[0].entryId, MAPI_BEST_ACCESS);
    if (message.ok()) subject = *HrGetOneProp(*message->object, PR_SUBJECT)->AsString8();
    unadvised = store->Unadvise(connection);
  });
  connection = *store->Advise({}, fnevNewMail, sink);
  MessageBuilder().Subject("hello").DeliverTo(*box.Inbox());
  MessageBuilder().Subject("second").DeliverTo(*box.Inbox());
  box.session->DispatchNotifications();
  EXPECT_EQ(subject, "hello");
  EXPECT_EQ(unadvised, S_OK);
}

TEST(NotificationsTest, ReadFlagAndSavesAreModifications) {
  TestMailbox box;
  EntryId a = *MessageBuilder().DeliverTo(*box.Inbox());
  auto sink = std::make_shared<RecordingSink>();
  ASSERT_TRUE(box.OpenStore()->Advise(a, fnevObjectModified | fnevObjectDeleted, sink).ok());
  box.OpenMessage(a)->SetReadFlag(0);
  EntryId ids[] = {a};
  box.Inbox()->DeleteMessages(ids, 0);
  box.session->DispatchNotifications();
  auto all = sink->All();
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[0].eventType, fnevObjectModified);
  EXPECT_EQ(all[1].eventType, fnevObjectDeleted);
}

TEST(NotificationsTest, EndingTheSessionDropsSinksThatOwnIt) {
  std::weak_ptr<MemorySession> weak;
  {
    TestMailbox box;
    weak = box.session;
    auto session = box.session;
    auto sink = std::make_shared<CallbackSink>([session](std::span<const Notification>) {});
    ASSERT_TRUE(box.OpenStore()->Advise({}, fnevNewMail, sink).ok());
    box.session->Shutdown();
  }
  EXPECT_TRUE(weak.expired());
}

}  // namespace
}  // namespace quorvel::mapi::memory

namespace quorvel::mapi::memory {
namespace {

TEST(NotificationsTest, ShortTermIdsOpenTheSameObjects) {
  StoreOptions options;
  options.isDefault = true;
  options.provider = std::string(pbExchangeProviderPrimaryUserGuid);
  options.shortTermNewMailIds = true;
  quorvel::TestMailbox box(options);
  auto sink = std::make_shared<quorvel::RecordingSink>();
  ASSERT_TRUE(box.OpenStore()->Advise({}, fnevNewMail, sink).ok());
  EntryId id = *quorvel::MessageBuilder().Subject("x").DeliverTo(*box.Inbox());
  box.session->DispatchNotifications();
  auto all = sink->All();
  ASSERT_EQ(all.size(), 1u);
  EXPECT_NE(all[0].entryId, id);
  EXPECT_NE(all[0].parentId, box.layout.inbox);
  auto folder = box.session->OpenEntry(all[0].parentId, 0);
  ASSERT_TRUE(folder.ok());
  EXPECT_EQ(HrGetOneProp(*folder->object, PR_ENTRYID)->AsEntryId(), box.layout.inbox);
  auto message = box.OpenStore()->OpenEntry(all[0].entryId, 0);
  ASSERT_TRUE(message.ok());
  EXPECT_EQ(HrGetOneProp(*message->object, PR_ENTRYID)->AsEntryId(), id);
  EXPECT_TRUE(*box.session->CompareEntryIDs(all[0].entryId, id, 0));
}

}  // namespace
}  // namespace quorvel::mapi::memory
