#include "mapi/memory/faults.h"

#include <gtest/gtest.h>

#include "mapi/queries.h"
#include "testing/message_builder.h"
#include "testing/test_mailbox.h"

namespace quorvel::mapi::memory {
namespace {

using quorvel::MessageBuilder;
using quorvel::TestMailbox;

TEST(FaultsTest, ChosenCallOnChosenObjectFailsWithChosenCode) {
  TestMailbox box;
  EntryId spam = box.AddFolder(box.layout.inbox, "Spam");
  EntryId a = *MessageBuilder().DeliverTo(*box.Inbox());
  box.session->faults().Fail(Call::kCopyMessages, box.layout.inbox, MAPI_E_NO_ACCESS);
  EntryId ids[] = {a};
  EXPECT_EQ(box.Inbox()->CopyMessages(ids, *box.OpenFolder(spam), MESSAGE_MOVE), MAPI_E_NO_ACCESS);
  EXPECT_EQ(box.MessagesIn(box.layout.inbox), std::vector<EntryId>{a});
  // Another folder's moves still work.
  EXPECT_EQ(box.OpenFolder(spam)->CopyMessages(ids, *box.Inbox(), MESSAGE_MOVE),
            MAPI_W_PARTIAL_COMPLETION);
  box.session->faults().Clear();
  EXPECT_EQ(box.Inbox()->CopyMessages(ids, *box.OpenFolder(spam), MESSAGE_MOVE), S_OK);
}

TEST(FaultsTest, TimesAndSkipCountCalls) {
  TestMailbox box;
  EntryId a = *MessageBuilder().Subject("s").DeliverTo(*box.Inbox());
  auto message = box.OpenMessage(a);
  box.session->faults().ResetCalls();  // the builder read the new message's id
  box.session->faults().Fail(Call::kGetProps, a, MAPI_E_NOT_ENOUGH_MEMORY, /*times=*/2,
                             /*skip=*/1);
  std::vector<HRESULT> results;
  for (int i = 0; i < 4; ++i) results.push_back(HrGetOneProp(*message, PR_SUBJECT).hr);
  EXPECT_EQ(results,
            (std::vector<HRESULT>{S_OK, MAPI_E_NOT_ENOUGH_MEMORY, MAPI_E_NOT_ENOUGH_MEMORY, S_OK}));
  EXPECT_EQ(box.session->faults().Calls(Call::kGetProps, a), 4u);
  EXPECT_EQ(box.session->faults().Calls(Call::kGetProps, box.layout.inbox), 0u);
}

TEST(FaultsTest, SessionCallsFailByTheIdAskedFor) {
  TestMailbox box;
  EntryId a = *MessageBuilder().DeliverTo(*box.Inbox());
  EntryId b = *MessageBuilder().DeliverTo(*box.Inbox());
  box.session->faults().Fail(Call::kOpenEntry, a, MAPI_E_NOT_FOUND);
  box.session->faults().Fail(Call::kGetMsgStoresTable, {}, MAPI_E_CALL_FAILED, 1);
  EXPECT_EQ(box.session->OpenEntry(a, 0).hr, MAPI_E_NOT_FOUND);
  EXPECT_TRUE(box.session->OpenEntry(b, 0).ok());
  EXPECT_EQ(box.session->GetMsgStoresTable(0).hr, MAPI_E_CALL_FAILED);
  EXPECT_TRUE(box.session->GetMsgStoresTable(0).ok());
}

TEST(FaultsTest, TableCallsFailOnTheObjectTheTableCameFrom) {
  TestMailbox box;
  for (int i = 0; i < 200; ++i) MessageBuilder().DeliverTo(*box.Inbox());
  box.session->faults().Fail(Call::kQueryRows, box.layout.inbox, MAPI_E_TIMEOUT, 1, 1);
  auto table = *box.Inbox()->GetContentsTable(0);
  EXPECT_EQ(table->QueryRows(128, 0)->size(), 128u);
  EXPECT_EQ(table->QueryRows(128, 0).hr, MAPI_E_TIMEOUT);
  EXPECT_EQ(table->QueryRows(128, 0)->size(), 72u);
}

TEST(FaultsTest, OverrideAndUnreadableProperties) {
  TestMailbox box;
  EntryId a = *MessageBuilder()
                   .Subject("s")
                   .Prop(PropValue::Error(PR_TRANSPORT_MESSAGE_HEADERS, MAPI_E_NOT_ENOUGH_MEMORY))
                   .DeliverTo(*box.Inbox());
  box.session->faults().Override(a, PR_MESSAGE_FLAGS, PropValue::String8(PR_SUBJECT, "odd"));
  auto message = box.OpenMessage(a);
  auto flags = HrGetOneProp(*message, PR_MESSAGE_FLAGS);
  EXPECT_EQ(flags->tag, PR_SUBJECT);  // a value under another tag, as a store may answer
  EXPECT_EQ(HrGetOneProp(*message, PR_TRANSPORT_MESSAGE_HEADERS).hr, MAPI_E_NOT_ENOUGH_MEMORY);
}

TEST(FaultsTest, StreamsAndSavesFail) {
  TestMailbox box;
  EntryId a = *MessageBuilder().Body("text").DeliverTo(*box.Inbox());
  auto message = box.OpenMessage(a);
  box.session->faults().Fail(Call::kStreamRead, a, MAPI_E_DISK_ERROR);
  auto stream = message->OpenProperty(PR_BODY, 0);
  ASSERT_TRUE(stream.ok());
  EXPECT_EQ(ReadAll(**stream).hr, MAPI_E_DISK_ERROR);
  box.session->faults().Fail(Call::kSaveChanges, a, MAPI_E_NOT_ENOUGH_DISK);
  PropValue subject = PropValue::String8(PR_SUBJECT, "new");
  message->SetProps({&subject, 1});
  EXPECT_EQ(message->SaveChanges(0), MAPI_E_NOT_ENOUGH_DISK);
  EXPECT_EQ(box.StringOf(a, PR_SUBJECT), "");
  box.session->faults().Fail(Call::kSetReadFlag, {}, MAPI_E_NO_ACCESS);
  EXPECT_EQ(message->SetReadFlag(0), MAPI_E_NO_ACCESS);
}

}  // namespace
}  // namespace quorvel::mapi::memory
