#include "host/extension_events.h"

#include <gtest/gtest.h>

#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "mapi/queries.h"
#include "testing/message_builder.h"
#include "testing/test_mailbox.h"

namespace quorvel::host {
namespace {

using mapi::EntryId;

// Installs into the contexts it is told to and writes down every event with what its
// callback answered.
class RecordingExtension final : public ClientExtension {
 public:
  explicit RecordingExtension(std::set<std::uint32_t> accept) : accept_(std::move(accept)) {}

  mapi::HRESULT Install(ExchExtCallback& callback, std::uint32_t context, std::uint32_t) override {
    auto version = callback.GetVersion(EECBGV_GETBUILDVERSION);
    auto session = callback.GetSession();
    std::lock_guard<std::mutex> lock(mutex_);
    installs.push_back({context, version.ok() ? *version : 0u, session.ok() && *session,
                        callback.GetObject().ok()});
    return accept_.count(context) ? mapi::S_OK : mapi::S_FALSE;
  }
  mapi::HRESULT OnDelivery(ExchExtCallback& callback) override {
    Add("delivery", callback, 0);
    return mapi::S_FALSE;
  }
  mapi::HRESULT OnWriteComplete(ExchExtCallback& callback, std::uint32_t flags) override {
    Add("write", callback, flags);
    return mapi::S_FALSE;
  }

  struct InstallSeen {
    std::uint32_t context, version;
    bool session, object;
  };
  struct Event {
    std::string kind, subject, recipients;
    bool store = false;
    std::uint32_t flags = 0;
  };
  std::vector<Event> Events() {
    std::lock_guard<std::mutex> lock(mutex_);
    return events_;
  }
  std::vector<InstallSeen> installs;  // on the test's thread only

 private:
  void Add(std::string kind, ExchExtCallback& callback, std::uint32_t flags) {
    Event e{std::move(kind), "", "", false, flags};
    if (auto object = callback.GetObject(); object.ok() && object->message) {
      auto subject = mapi::HrGetOneProp(*object->message, mapi::PR_SUBJECT);
      if (subject.ok() && subject->AsString8()) e.subject = *subject->AsString8();
      e.store = object->store != nullptr;
    }
    if (auto table = callback.GetRecipients(); table.ok() && *table) {
      const mapi::PropTag columns[] = {mapi::PR_EMAIL_ADDRESS};
      auto rows = mapi::HrQueryAllRows(**table, columns, std::nullopt);
      for (const mapi::Row& row : rows.ok() ? *rows : mapi::RowSet{}) {
        e.recipients += mapi::GetString8(row, mapi::PR_EMAIL_ADDRESS) + ";";
      }
    }
    std::lock_guard<std::mutex> lock(mutex_);
    events_.push_back(std::move(e));
  }

  const std::set<std::uint32_t> accept_;
  std::mutex mutex_;
  std::vector<Event> events_;  // guarded by mutex_
};

class ExtensionEventsTest : public ::testing::Test {
 protected:
  ExtensionEvents::Places Places() {
    return {box.session, box.OpenStore(), box.layout.inbox, box.layout.sentItems};
  }

  TestMailbox box;
};

TEST_F(ExtensionEventsTest, InstallsIntoTheHostsContextsWithBuildThirteenAndTheSession) {
  auto extension = std::make_shared<RecordingExtension>(
      std::set<std::uint32_t>{EECONTEXT_SESSION, EECONTEXT_SENDNOTEMESSAGE});
  auto events = ExtensionEvents::Start(extension, Places());
  ASSERT_EQ(extension->installs.size(), 4u);
  std::vector<std::uint32_t> contexts;
  for (const auto& install : extension->installs) {
    contexts.push_back(install.context);
    EXPECT_EQ(install.version >> 16, 0x000Du);
    EXPECT_TRUE(install.session);
    EXPECT_FALSE(install.object);  // nothing is delivered or written at the start
  }
  EXPECT_EQ(contexts, (std::vector<std::uint32_t>{1, 6, 8, 11}));
  EXPECT_EQ(events->installed(), (std::set<std::uint32_t>{1, 6}));
  EXPECT_TRUE(events->watching());
}

TEST_F(ExtensionEventsTest, DeliveryIntoTheInboxAndMailSavedInSentItemsRaiseTheirEvents) {
  auto extension = std::make_shared<RecordingExtension>(
      std::set<std::uint32_t>{EECONTEXT_SESSION, EECONTEXT_SENDNOTEMESSAGE});
  auto events = ExtensionEvents::Start(extension, Places());
  EntryId other = box.AddFolder(box.layout.inbox, "Lists");
  // Neither new mail in another folder, nor a message the user saved in the Inbox, nor
  // one delivered into Sent Items is a delivery or a write.
  MessageBuilder().Subject("list mail").DeliverTo(*box.OpenFolder(other));
  MessageBuilder().Subject("note to self").SaveIn(*box.Inbox());
  MessageBuilder().Subject("delivered").DeliverTo(*box.Inbox());
  MessageBuilder()
      .Subject("sent")
      .To("Bob", "bob@example.com")
      .To("Eve", "eve@example.com")
      .SaveIn(*box.OpenFolder(box.layout.sentItems));
  box.session->DispatchNotifications();  // the store's thread has raised them
  auto seen = extension->Events();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].kind, "delivery");
  EXPECT_EQ(seen[0].subject, "delivered");
  EXPECT_TRUE(seen[0].store);
  EXPECT_EQ(seen[1].kind, "write");
  EXPECT_EQ(seen[1].subject, "sent");
  EXPECT_EQ(seen[1].flags, 0u);
  EXPECT_EQ(seen[1].recipients, "bob@example.com;eve@example.com;");

  events->Stop();
  EXPECT_FALSE(events->watching());
  MessageBuilder().Subject("after the stop").DeliverTo(*box.Inbox());
  box.session->DispatchNotifications();
  EXPECT_EQ(extension->Events().size(), 2u);
}

TEST_F(ExtensionEventsTest, EventsFollowTheContextsTheExtensionTook) {
  struct Case {
    std::set<std::uint32_t> accept;
    bool watching, delivery, write;
  };
  const Case cases[] = {
      {{}, false, false, false},
      {{EECONTEXT_SENDPOSTMESSAGE}, false, false, false},
      {{EECONTEXT_SESSION}, true, true, false},
      {{EECONTEXT_SENDNOTEMESSAGE}, true, false, true},
  };
  for (const Case& c : cases) {
    // Made before the events start, so that only the calls below raise them.
    EntryId delivered = *MessageBuilder().Subject("in").SaveIn(*box.Inbox());
    EntryId sent = *MessageBuilder().Subject("out").SaveIn(*box.OpenFolder(box.layout.sentItems));
    box.session->DispatchNotifications();
    auto extension = std::make_shared<RecordingExtension>(c.accept);
    auto events = ExtensionEvents::Start(extension, Places());
    EXPECT_EQ(events->watching(), c.watching);
    // Raised directly, as the store's thread would.
    events->Stop();
    mapi::Notification mail;
    mail.eventType = mapi::fnevNewMail;
    mail.objectType = mapi::MAPI_MESSAGE;
    mail.entryId = delivered;
    mail.parentId = box.layout.inbox;
    mapi::Notification created;
    created.eventType = mapi::fnevObjectCreated;
    created.objectType = mapi::MAPI_MESSAGE;
    created.entryId = sent;
    created.parentId = box.layout.sentItems;
    events->Raise(mail);
    events->Raise(created);
    std::size_t expected = (c.delivery ? 1 : 0) + (c.write ? 1 : 0);
    ASSERT_EQ(extension->Events().size(), expected);
    if (expected == 1) {
      EXPECT_EQ(extension->Events()[0].kind, c.delivery ? "delivery" : "write");
    }
  }
}

TEST_F(ExtensionEventsTest, AMessageGoneBeforeItsEventRaisesNothing) {
  auto extension = std::make_shared<RecordingExtension>(
      std::set<std::uint32_t>{EECONTEXT_SESSION, EECONTEXT_SENDNOTEMESSAGE});
  auto events = ExtensionEvents::Start(extension, Places());
  events->Stop();
  EntryId id = *MessageBuilder().Subject("taken").SaveIn(*box.Inbox());
  const EntryId ids[] = {id};
  ASSERT_EQ(box.Inbox()->DeleteMessages(ids, 0), mapi::S_OK);
  mapi::Notification mail;
  mail.eventType = mapi::fnevNewMail;
  mail.objectType = mapi::MAPI_MESSAGE;
  mail.entryId = id;
  mail.parentId = box.layout.inbox;
  events->Raise(mail);
  EXPECT_TRUE(extension->Events().empty());
  // No extension at all: nothing to install, nothing watched.
  EXPECT_FALSE(ExtensionEvents::Start(nullptr, Places())->watching());
}

}  // namespace
}  // namespace quorvel::host
