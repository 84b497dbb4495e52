#include "outlook/client_extension.h"

#include <gtest/gtest.h>

#include "lists/contact.h"
#include "mapi/memory/memory_session.h"
#include "mapi/row_table.h"
#include "testing/message_builder.h"
#include "testing/test_mailbox.h"

namespace quorvel::outlook {
namespace {

using mapi::EntryId;
using mapi::PropValue;
using mapi::memory::StoreOptions;

class FakeCallback final : public host::ExchExtCallback {
 public:
  mapi::Result<std::uint32_t> GetVersion(std::uint32_t) override { return mapi::Ok(version); }
  mapi::Result<std::shared_ptr<mapi::Session>> GetSession() override {
    if (!session) return mapi::MAPI_E_NOT_FOUND;
    return mapi::Ok(session);
  }
  mapi::Result<Object> GetObject() override { return mapi::Ok(object); }
  mapi::Result<std::shared_ptr<mapi::Table>> GetRecipients() override {
    std::vector<mapi::PropTag> columns = {mapi::PR_DISPLAY_NAME, mapi::PR_EMAIL_ADDRESS};
    return mapi::Ok(
        std::shared_ptr<mapi::Table>(std::make_shared<mapi::RowTable>(recipients, columns)));
  }
  std::uint32_t version = 0x000D0A1B;
  std::shared_ptr<mapi::Session> session;
  Object object;
  mapi::RowSet recipients;
};

StoreOptions Exchange() {
  StoreOptions o;
  o.provider = std::string(mapi::pbExchangeProviderPrimaryUserGuid);
  o.isDefault = true;
  return o;
}

class ClientExtensionTest : public ::testing::Test {
 protected:
  platform::FakeClock clock;
  SettingsHolder settings;
  PendingQueue queue{clock, settings};
  SentMailRecorder recorder{settings, clock};
  platform::ScriptedMessageBoxes boxes;
  QVClientExtension extension{queue, recorder, boxes};
  FakeCallback callback;
};

TEST_F(ClientExtensionTest, InstallsIntoTheSessionAndSendContextsOfTheRightBuild) {
  TestMailbox box;
  callback.session = box.session;
  struct Case {
    std::uint32_t context;
    std::uint32_t version;
    mapi::HRESULT expected;
  };
  const Case cases[] = {
      {host::EECONTEXT_SESSION, 0x000D0A1B, mapi::S_OK},
      {host::EECONTEXT_SENDNOTEMESSAGE, 0x000D0000, mapi::S_OK},
      {host::EECONTEXT_SENDPOSTMESSAGE, 0x000DFFFF, mapi::S_OK},
      {host::EECONTEXT_SENDRESENDMESSAGE, 0x000D0001, mapi::S_OK},
      {host::EECONTEXT_VIEWER, 0x000D0000, mapi::S_FALSE},
      {host::EECONTEXT_SESSION, 0x000C0000, mapi::S_FALSE},
      {host::EECONTEXT_SESSION, 0x001D0000, mapi::S_FALSE},
  };
  for (const Case& c : cases) {
    callback.version = c.version;
    EXPECT_EQ(extension.Install(callback, c.context, 0), c.expected)
        << c.context << " " << std::hex << c.version;
  }
  EXPECT_TRUE(boxes.shown().empty());
  callback.session.reset();
  callback.version = 0x000D0000;
  EXPECT_EQ(extension.Install(callback, host::EECONTEXT_SESSION, 0), mapi::S_FALSE);
}

TEST_F(ClientExtensionTest, AProfileWithoutADefaultStoreIsRefusedWithAMessage) {
  StoreOptions notDefault;
  notDefault.isDefault = false;
  TestMailbox box(notDefault);
  callback.session = box.session;
  EXPECT_EQ(extension.Install(callback, host::EECONTEXT_SESSION, 0), mapi::S_FALSE);
  ASSERT_EQ(boxes.shown().size(), 1u);
  EXPECT_EQ(boxes.shown()[0].text, "Error in CheckEnviroment");
  EXPECT_EQ(boxes.shown()[0].caption, "Quorvel");
}

TEST_F(ClientExtensionTest, DeliveryQueuesOnlyMailOfExchangeStores) {
  for (bool exchange : {true, false}) {
    SCOPED_TRACE(exchange);
    TestMailbox box(exchange ? Exchange() : TestMailbox::DefaultOptions());
    EntryId id = *MessageBuilder().Subject("x").SaveIn(*box.Inbox());
    callback.object = {box.OpenStore(), box.OpenMessage(id)};
    EXPECT_EQ(extension.OnDelivery(callback), mapi::S_FALSE);
    auto queued = queue.Snapshot();
    if (exchange) {
      ASSERT_EQ(queued.size(), 1u);
      EXPECT_EQ(queued[0].messageId, id);
      EXPECT_EQ(queued[0].parentId, box.layout.inbox);
      EXPECT_EQ(queued[0].origin, kOriginDelivery);
      queue.Complete(id, false);
    } else {
      EXPECT_TRUE(queued.empty());
    }
  }
}

TEST_F(ClientExtensionTest, AWrittenMessageRecordsItsRecipientsAndSubjectOnlyWhenItWorked) {
  TestMailbox box;
  EntryId draft = *MessageBuilder().Subject("Budget").SaveIn(*box.OpenFolder(box.layout.drafts));
  callback.object = {box.OpenStore(), box.OpenMessage(draft)};
  callback.recipients = {{PropValue::String8(mapi::PR_DISPLAY_NAME, "Bob"),
                          PropValue::String8(mapi::PR_EMAIL_ADDRESS, "bob@example.com")}};
  settings.Lock()->autoAddToWhiteList = 1;
  EXPECT_EQ(extension.OnWriteComplete(callback, 1), mapi::S_FALSE);  // the write failed
  EXPECT_FALSE(settings.Lock()->whiteList.Find(MakeContact("bob@example.com")));
  EXPECT_EQ(extension.OnWriteComplete(callback, 0), mapi::S_FALSE);
  auto live = settings.Lock();
  EXPECT_TRUE(live->whiteList.Find(MakeContact("bob@example.com")));
  EXPECT_TRUE(live->sentSubjs.Find(MakeContact("Budget")));
}

}  // namespace
}  // namespace quorvel::outlook
