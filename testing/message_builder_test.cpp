#include "testing/message_builder.h"

#include <gtest/gtest.h>

#include "mapi/compressed_rtf.h"
#include "mapi/queries.h"
#include "testing/recording_sink.h"
#include "testing/test_mailbox.h"

namespace quorvel {
namespace {

using namespace quorvel::mapi;

TEST(MessageBuilderTest, SavedMessageCarriesEverythingTold) {
  TestMailbox box;
  auto id = MessageBuilder()
                .From("Ann Lee", "ann@example.com")
                .To("Bob", "bob@example.com")
                .To("", "carol@example.com")
                .Cc("Dan", "dan@example.com")
                .Subject("Lunch")
                .Body("See you")
                .Headers("Received: from x\r\n")
                .ReceivedBy("bob@example.com")
                .Attachment("notes.combined", ATT_MHTML_REF, "data")
                .SaveIn(*box.Inbox());
  ASSERT_TRUE(id.ok());
  EXPECT_EQ(box.MessagesIn(box.layout.inbox), std::vector<EntryId>{*id});
  EXPECT_EQ(box.StringOf(*id, PR_SENDER_NAME), "Ann Lee");
  EXPECT_EQ(box.StringOf(*id, PR_SENDER_EMAIL_ADDRESS), "ann@example.com");
  EXPECT_EQ(box.StringOf(*id, PR_DISPLAY_TO), "Bob; carol@example.com");
  EXPECT_EQ(box.StringOf(*id, PR_MESSAGE_CLASS), "IPM.Note");
  EXPECT_EQ(box.StringOf(*id, PR_TRANSPORT_MESSAGE_HEADERS), "Received: from x\r\n");
  EXPECT_EQ(box.FlagsOf(*id), MSGFLAG_HASATTACH);

  auto message = box.OpenMessage(*id);
  PropTag recipientColumns[] = {PR_EMAIL_ADDRESS, PR_DISPLAY_NAME, PR_RECIPIENT_TYPE};
  auto recipients = HrQueryAllRows(**message->GetRecipientTable(0), recipientColumns, std::nullopt);
  ASSERT_EQ(recipients->size(), 3u);
  EXPECT_EQ(*(*recipients)[2][2].AsLong(), static_cast<std::int32_t>(MAPI_CC));
  PropTag attachColumns[] = {PR_ATTACH_NUM, PR_ATTACH_LONG_FILENAME, PR_ATTACH_FILENAME};
  auto attachments = HrQueryAllRows(**message->GetAttachmentTable(0), attachColumns, std::nullopt);
  ASSERT_EQ(attachments->size(), 1u);
  EXPECT_EQ(*(*attachments)[0][1].AsString8(), "notes.combined");
  EXPECT_TRUE((*attachments)[0][2].IsError());  // no short name unless told
}

TEST(MessageBuilderTest, RtfBodiesAreStoredCompressedOrUncompressed) {
  TestMailbox box;
  auto html = *MessageBuilder().HtmlBody("<p>Caf\xE9</p>").SaveIn(*box.Inbox());
  auto plain = *MessageBuilder().TextRtfBody("plain").UncompressedRtf().SaveIn(*box.Inbox());
  auto raw = HrGetOneProp(*box.OpenMessage(html), PR_RTF_COMPRESSED);
  ASSERT_TRUE(raw.ok());
  EXPECT_EQ(raw->AsBinary()->bytes.substr(8, 4), "LZFu");
  auto rtf = DecompressRtf(raw->AsBinary()->bytes);
  ASSERT_TRUE(rtf.ok());
  EXPECT_NE(rtf->find("\\fromhtml1"), std::string::npos);
  EXPECT_NE(rtf->find("{\\*\\htmltag64 <p>}Caf\\'e9{\\*\\htmltag72 </p>}"), std::string::npos);

  auto stored = HrGetOneProp(*box.OpenMessage(plain), PR_RTF_COMPRESSED)->AsBinary()->bytes;
  EXPECT_EQ(stored.substr(8, 4), "MELA");
  EXPECT_EQ(DecompressRtf(stored)->find("htmltag"), std::string::npos);
}

TEST(MessageBuilderTest, DeliveryNotifiesAndSavingDoesNot) {
  TestMailbox box;
  auto store = box.OpenStore();
  auto sink = std::make_shared<RecordingSink>();
  ASSERT_TRUE(store->Advise({}, fnevNewMail, sink).ok());
  auto saved = *MessageBuilder().Unsent().SaveIn(*box.Inbox());
  auto delivered = *MessageBuilder().Subject("new").DeliverTo(*box.Inbox());
  ASSERT_EQ(box.session->DispatchNotifications(), S_OK);
  auto all = sink->All();
  ASSERT_EQ(all.size(), 1u);
  EXPECT_EQ(all[0].entryId, delivered);
  EXPECT_EQ(all[0].parentId, box.layout.inbox);
  EXPECT_EQ(all[0].messageClass, "IPM.Note");
  EXPECT_EQ(box.FlagsOf(saved), MSGFLAG_UNSENT);
}

}  // namespace
}  // namespace quorvel
