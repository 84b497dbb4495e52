#include <gtest/gtest.h>

#include "mapi/compressed_rtf.h"
#include "mapi/folder.h"
#include "mapi/memory/memory_session.h"
#include "mapi/message.h"
#include "mapi/queries.h"

namespace quorvel::mapi::memory {
namespace {

class MemoryMessageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    session_ = MemorySession::Create();
    layout_ = session_->AddStore({.isDefault = true});
    inbox_ = session_->OpenEntry(layout_.inbox, MAPI_BEST_ACCESS)->As<Folder>();
    ASSERT_TRUE(inbox_);
  }

  // A saved message with a subject, two recipients and one attachment.
  EntryId SaveSample() {
    auto message = *inbox_->CreateMessage(kDeliverAsNewMail);
    PropValue props[] = {PropValue::String8(PR_SUBJECT, "Hello"),
                         PropValue::String8(PR_BODY, "Body text")};
    EXPECT_EQ(message->SetProps(props), S_OK);
    RowSet recipients = {
        {PropValue::ULong(PR_RECIPIENT_TYPE, MAPI_TO), PropValue::String8(PR_DISPLAY_NAME, "Ann"),
         PropValue::String8(PR_EMAIL_ADDRESS, "ann@example.com")},
        {PropValue::ULong(PR_RECIPIENT_TYPE, MAPI_CC), PropValue::String8(PR_DISPLAY_NAME, "Bob")}};
    EXPECT_EQ(message->ModifyRecipients(MODRECIP_ADD, recipients), S_OK);
    auto attach = *message->CreateAttach(0);
    PropValue attachProps[] = {PropValue::String8(PR_ATTACH_LONG_FILENAME, "report.html"),
                               PropValue::ULong(PR_ATTACH_FLAGS, ATT_MHTML_REF),
                               PropValue::Bin(PR_ATTACH_DATA_BIN, "<p>x</p>")};
    EXPECT_EQ(attach->SetProps(attachProps), S_OK);
    EXPECT_EQ(attach->SaveChanges(0), S_OK);
    EXPECT_EQ(message->SaveChanges(0), S_OK);
    return HrGetOneProp(*message, PR_ENTRYID)->AsEntryId();
  }

  std::shared_ptr<Message> Open(const EntryId& id) {
    auto opened = session_->OpenEntry(id, MAPI_BEST_ACCESS);
    EXPECT_EQ(opened->objectType, MAPI_MESSAGE);
    return opened->As<Message>();
  }

  std::shared_ptr<MemorySession> session_;
  StoreLayout layout_;
  std::shared_ptr<Folder> inbox_;
};

TEST_F(MemoryMessageTest, SavedMessageReadsBackWithComputedProperties) {
  EntryId id = SaveSample();
  auto message = Open(id);
  PropTag tags[] = {PR_SUBJECT,       PR_ENTRYID,     PR_PARENT_ENTRYID,
                    PR_MESSAGE_FLAGS, PR_OBJECT_TYPE, PR_SENDER_NAME};
  auto values = message->GetProps(tags);
  EXPECT_EQ(values.hr, MAPI_W_ERRORS_RETURNED);  // no sender name
  ASSERT_EQ(values->size(), 6u);
  EXPECT_EQ(*(*values)[0].AsString8(), "Hello");
  EXPECT_EQ((*values)[1].AsEntryId(), id);
  EXPECT_EQ((*values)[2].AsEntryId(), layout_.inbox);
  EXPECT_EQ(*(*values)[3].AsLong(), 0);  // delivered: unread, not a draft
  EXPECT_EQ(*(*values)[4].AsLong(), static_cast<std::int32_t>(MAPI_MESSAGE));
  EXPECT_EQ((*values)[5].tag, PROP_TAG(PT_ERROR, PROP_ID(PR_SENDER_NAME)));
  EXPECT_EQ((*values)[5].ErrorCode(), MAPI_E_NOT_FOUND);
}

TEST_F(MemoryMessageTest, HrGetOnePropReportsMissingAndErrorValues) {
  auto message = Open(SaveSample());
  EXPECT_EQ(HrGetOneProp(*message, PR_SENDER_NAME).hr, MAPI_E_NOT_FOUND);
  PropValue unreadable = PropValue::Error(PR_TRANSPORT_MESSAGE_HEADERS, MAPI_E_NOT_ENOUGH_MEMORY);
  ASSERT_EQ(message->SetProps({&unreadable, 1}), S_OK);
  auto headers = HrGetOneProp(*message, PR_TRANSPORT_MESSAGE_HEADERS);
  EXPECT_EQ(headers.hr, MAPI_E_NOT_ENOUGH_MEMORY);
  EXPECT_TRUE(headers->IsError());
}

TEST_F(MemoryMessageTest, ComputedPropertiesCannotBeSet) {
  auto message = Open(SaveSample());
  PropValue v[] = {PropValue::Bin(PR_ENTRYID, "x"), PropValue::String8(PR_SUBJECT, "New")};
  EXPECT_EQ(message->SetProps(v), MAPI_W_ERRORS_RETURNED);
  EXPECT_EQ(*HrGetOneProp(*message, PR_SUBJECT)->AsString8(), "New");
  EXPECT_NE(HrGetOneProp(*message, PR_ENTRYID)->AsEntryId(), EntryId(std::string("x")));
}

TEST_F(MemoryMessageTest, ChangesAreDurableOnlyAfterSaveChanges) {
  EntryId id = SaveSample();
  auto first = Open(id);
  PropValue subject = PropValue::String8(PR_SUBJECT, "Changed");
  ASSERT_EQ(first->SetProps({&subject, 1}), S_OK);
  EXPECT_EQ(*HrGetOneProp(*Open(id), PR_SUBJECT)->AsString8(), "Hello");
  ASSERT_EQ(first->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
  EXPECT_EQ(*HrGetOneProp(*Open(id), PR_SUBJECT)->AsString8(), "Changed");
}

TEST_F(MemoryMessageTest, StringTypesConvertAndUnspecifiedGetsStoredType) {
  auto message = Open(SaveSample());
  auto wide = HrGetOneProp(*message, PR_BODY_W);
  ASSERT_TRUE(wide.ok());
  EXPECT_EQ(*wide->AsUnicode(), u"Body text");
  auto any = HrGetOneProp(*message, PROP_TAG(PT_UNSPECIFIED, PROP_ID(PR_SUBJECT)));
  EXPECT_EQ(any->tag, PR_SUBJECT);
  EXPECT_EQ(HrGetOneProp(*message, CHANGE_PROP_TYPE(PR_SUBJECT, PT_LONG)).hr, MAPI_E_NOT_FOUND);
}

TEST_F(MemoryMessageTest, RecipientAndAttachmentTables) {
  auto message = Open(SaveSample());
  auto recipients = *message->GetRecipientTable(0);
  PropTag cols[] = {PR_EMAIL_ADDRESS, PR_DISPLAY_NAME, PR_RECIPIENT_TYPE};
  auto rows = HrQueryAllRows(*recipients, cols, std::nullopt);
  ASSERT_TRUE(rows.ok());
  ASSERT_EQ(rows->size(), 2u);
  EXPECT_EQ(*(*rows)[0][0].AsString8(), "ann@example.com");
  EXPECT_TRUE((*rows)[1][0].IsError());  // Bob has no address
  EXPECT_EQ(*(*rows)[1][2].AsLong(), static_cast<std::int32_t>(MAPI_CC));

  auto attachments = *message->GetAttachmentTable(0);
  PropTag attachCols[] = {PR_ATTACH_NUM, PR_ATTACH_LONG_FILENAME, PR_ATTACH_DATA_BIN};
  auto attachRows = HrQueryAllRows(*attachments, attachCols, std::nullopt);
  ASSERT_EQ(attachRows->size(), 1u);
  EXPECT_EQ(*(*attachRows)[0][1].AsString8(), "report.html");
  EXPECT_TRUE((*attachRows)[0][2].IsError());  // contents only through the attachment
  auto attach = message->OpenAttach(static_cast<std::uint32_t>(*(*attachRows)[0][0].AsLong()), 0);
  ASSERT_TRUE(attach.ok());
  EXPECT_EQ(*HrGetOneProp(**attach, PR_ATTACH_FLAGS)->AsLong(), ATT_MHTML_REF);
  EXPECT_EQ(HrGetOneProp(**attach, PR_ATTACH_DATA_BIN)->AsBinary()->bytes, "<p>x</p>");
  EXPECT_EQ(message->OpenAttach(99, 0).hr, MAPI_E_NOT_FOUND);
}

TEST_F(MemoryMessageTest, ModifyRecipientsByRowId) {
  auto message = Open(SaveSample());
  auto rows = HrQueryAllRows(**message->GetRecipientTable(0),
                             std::vector<PropTag>{PR_ROWID, PR_DISPLAY_NAME}, std::nullopt);
  Row remove = {(*rows)[0][0]};
  ASSERT_EQ(message->ModifyRecipients(MODRECIP_REMOVE, {remove}), S_OK);
  auto after = HrQueryAllRows(**message->GetRecipientTable(0),
                              std::vector<PropTag>{PR_DISPLAY_NAME}, std::nullopt);
  ASSERT_EQ(after->size(), 1u);
  EXPECT_EQ(*(*after)[0][0].AsString8(), "Bob");
  Row unknown = {PropValue::Long(PR_ROWID, 77)};
  EXPECT_EQ(message->ModifyRecipients(MODRECIP_REMOVE, {unknown}), MAPI_E_NOT_FOUND);
}

TEST_F(MemoryMessageTest, PropertyStreamsReadWriteAndRtfBodies) {
  auto message = Open(SaveSample());
  auto body = message->OpenProperty(PR_BODY, MAPI_DEFERRED_ERRORS);
  ASSERT_TRUE(body.ok());
  EXPECT_EQ(*ReadAll(**body), "Body text");
  EXPECT_EQ(message->OpenProperty(PR_RTF_COMPRESSED, 0).hr, MAPI_E_NOT_FOUND);

  auto rtfStream = message->OpenProperty(PR_RTF_COMPRESSED, MAPI_CREATE | MAPI_MODIFY);
  ASSERT_TRUE(rtfStream.ok());
  auto writer = WrapCompressedRTFStream(*rtfStream, MAPI_MODIFY);
  std::string rtf = "{\\rtf1 hi}";
  std::size_t written = 0;
  ASSERT_EQ((*writer)->Write(rtf.data(), rtf.size(), &written), S_OK);
  ASSERT_EQ((*writer)->Commit(0), S_OK);
  ASSERT_EQ(message->SaveChanges(0), S_OK);

  auto reread = Open(HrGetOneProp(*message, PR_ENTRYID)->AsEntryId());
  auto reader = WrapCompressedRTFStream(*reread->OpenProperty(PR_RTF_COMPRESSED, 0), 0);
  ASSERT_TRUE(reader.ok());
  EXPECT_EQ(*ReadAll(**reader), rtf);
}

TEST_F(MemoryMessageTest, LargeValuesAreRefusedByGetPropsButReadByStream) {
  auto session = MemorySession::Create();
  auto layout = session->AddStore({.largePropertyLimit = 100});
  auto folder = session->OpenEntry(layout.inbox, 0)->As<Folder>();
  auto message = *folder->CreateMessage(0);
  PropValue big = PropValue::String8(PR_BODY, std::string(101, 'x'));
  ASSERT_EQ(message->SetProps({&big, 1}), S_OK);
  EXPECT_EQ(HrGetOneProp(*message, PR_BODY).hr, MAPI_E_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(ReadAll(**message->OpenProperty(PR_BODY, 0))->size(), 101u);
}

TEST_F(MemoryMessageTest, ReadFlagChangesAtOnce) {
  EntryId id = SaveSample();
  auto message = Open(id);
  ASSERT_EQ(message->SetReadFlag(0), S_OK);
  EXPECT_EQ(*HrGetOneProp(*Open(id), PR_MESSAGE_FLAGS)->AsLong() & MSGFLAG_READ, MSGFLAG_READ);
  ASSERT_EQ(message->SetReadFlag(CLEAR_READ_FLAG), S_OK);
  EXPECT_EQ(*HrGetOneProp(*Open(id), PR_MESSAGE_FLAGS)->AsLong() & MSGFLAG_READ, 0);
}

TEST_F(MemoryMessageTest, NewMessagesAreDraftsUntilDelivered) {
  auto draft = *inbox_->CreateMessage(0);
  EXPECT_EQ(*HrGetOneProp(*draft, PR_MESSAGE_FLAGS)->AsLong(),
            static_cast<std::int32_t>(MSGFLAG_UNSENT | MSGFLAG_READ));
  // Not in the folder before SaveChanges.
  auto table = *inbox_->GetContentsTable(0);
  EXPECT_EQ(*table->GetRowCount(0), 0u);
  ASSERT_EQ(draft->SaveChanges(0), S_OK);
  EXPECT_EQ(*(*inbox_->GetContentsTable(0))->GetRowCount(0), 1u);
}

TEST_F(MemoryMessageTest, NamedPropertiesGetStableIds) {
  auto message = Open(SaveSample());
  PropName email{PSETID_Address, false, kContactEmail1Number, {}};
  EXPECT_EQ(message->GetIDsFromNames({&email, 1}, 0).hr, MAPI_W_ERRORS_RETURNED);
  auto created = message->GetIDsFromNames({&email, 1}, MAPI_CREATE);
  ASSERT_EQ(created.hr, S_OK);
  EXPECT_GE(PROP_ID((*created)[0]), 0x8000u);
  auto again = message->GetIDsFromNames({&email, 1}, 0);
  EXPECT_EQ((*again)[0], (*created)[0]);
}

}  // namespace
}  // namespace quorvel::mapi::memory
