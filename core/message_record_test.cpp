#include "core/message_record.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/property_text.h"
#include "mapi/compressed_rtf.h"
#include "mapi/html_encapsulation.h"
#include "testing/message_builder.h"
#include "testing/test_mailbox.h"

namespace quorvel {
namespace {

using mapi::memory::Call;

class MessageRecordTest : public ::testing::Test {
 protected:
  explicit MessageRecordTest(
      const mapi::memory::StoreOptions& options = TestMailbox::DefaultOptions())
      : box(options) {}

  // Saves the message and opens it for a record.
  MessageRecord Record(const MessageBuilder& builder) {
    auto saved = builder.SaveIn(*box.Inbox());
    EXPECT_TRUE(saved.ok());
    id = *saved;
    return MessageRecord(box.OpenMessage(id));
  }
  mapi::memory::Faults& faults() { return box.session->faults(); }

  TestMailbox box;
  mapi::EntryId id;
};

// ---- Text properties ----

TEST_F(MessageRecordTest, EachPropertyIsReadFromTheStoreOnce) {
  MessageRecord record = Record(MessageBuilder().Subject("Lunch").From("Ann", "ann@x.org"));
  faults().ResetCalls();
  EXPECT_EQ(record.GetString(mapi::PR_SUBJECT), "Lunch");
  EXPECT_EQ(record.GetString(mapi::PR_SUBJECT), "Lunch");
  EXPECT_EQ(faults().Calls(Call::kGetProps, id), 1u);
  EXPECT_EQ(record.GetString(mapi::PR_SENDER_EMAIL_ADDRESS), "ann@x.org");
  EXPECT_EQ(faults().Calls(Call::kGetProps, id), 2u);
}

TEST_F(MessageRecordTest, AMissingPropertyIsEmptyBothTimesAndReadOnce) {
  MessageRecord record = Record(MessageBuilder().Subject("x"));
  faults().ResetCalls();
  EXPECT_EQ(record.GetString(mapi::PR_TRANSPORT_MESSAGE_HEADERS), "");
  EXPECT_EQ(record.GetString(mapi::PR_TRANSPORT_MESSAGE_HEADERS), "");
  EXPECT_EQ(faults().Calls(Call::kGetProps, id), 1u);
}

TEST_F(MessageRecordTest, AFailedReadIsKeptAsEmptyText) {
  MessageRecord record = Record(MessageBuilder().Subject("Lunch"));
  faults().Fail(Call::kGetProps, id, mapi::MAPI_E_CALL_FAILED, 1);
  EXPECT_EQ(record.GetString(mapi::PR_SUBJECT), "");
  // The store would answer now, but the record keeps what the first read gave.
  EXPECT_EQ(record.GetString(mapi::PR_SUBJECT), "");
}

TEST_F(MessageRecordTest, AnUnreadablePropertyIsEmpty) {
  MessageRecord record = Record(
      MessageBuilder().Prop(mapi::PropValue::Error(mapi::PR_SENDER_NAME, mapi::MAPI_E_NO_ACCESS)));
  EXPECT_EQ(record.GetString(mapi::PR_SENDER_NAME), "");
}

TEST_F(MessageRecordTest, ATagOfAnotherTypeReadsAsEmptyWithoutTheStore) {
  MessageRecord record = Record(MessageBuilder().Subject("x"));
  faults().ResetCalls();
  EXPECT_EQ(record.GetString(mapi::PR_MESSAGE_FLAGS), "");
  EXPECT_EQ(record.GetString(mapi::PR_BODY_W), "");
  EXPECT_EQ(faults().Calls(Call::kGetProps, id), 0u);
}

TEST_F(MessageRecordTest, ARecordWithoutAMessageFailsEveryRead) {
  MessageRecord record(nullptr);
  EXPECT_EQ(record.GetString(mapi::PR_SUBJECT), "");
  EXPECT_EQ(record.GetString(mapi::PR_BODY), "");
  EXPECT_FALSE(record.GetLong(mapi::PR_MESSAGE_FLAGS).ok());
  EXPECT_EQ(record.GetAttachmentSummary().attachmentCount, -1);
  EXPECT_EQ(record.GetAttachmentSummary().attachmentFlags, 0u);
}

// ---- Long properties ----

TEST_F(MessageRecordTest, LongPropertiesAreReadEveryTime) {
  MessageRecord record = Record(MessageBuilder().Flags(mapi::MSGFLAG_READ));
  auto flags = record.GetLong(mapi::PR_MESSAGE_FLAGS);
  ASSERT_TRUE(flags.ok());
  EXPECT_EQ(*flags, static_cast<std::int32_t>(mapi::MSGFLAG_READ));
  faults().Override(id, mapi::PR_MESSAGE_FLAGS, mapi::PropValue::Long(mapi::PR_MESSAGE_FLAGS, 9));
  EXPECT_EQ(*record.GetLong(mapi::PR_MESSAGE_FLAGS), 9);
}

TEST_F(MessageRecordTest, LongPropertyResultCodes) {
  MessageRecord record = Record(MessageBuilder());
  EXPECT_EQ(record.GetLong(mapi::PR_SUBJECT).hr, mapi::E_INVALIDARG);
  EXPECT_EQ(record.GetLong(mapi::PR_OWN_MESSAGE_MARK).hr, mapi::MAPI_E_NOT_FOUND);

  faults().Override(id, mapi::PR_OWN_MESSAGE_MARK,
                    mapi::PropValue::Error(mapi::PR_OWN_MESSAGE_MARK, mapi::MAPI_E_NO_ACCESS));
  EXPECT_EQ(record.GetLong(mapi::PR_OWN_MESSAGE_MARK).hr, mapi::MAPI_E_NO_ACCESS);

  // A value under another tag is a general failure.
  faults().Override(id, mapi::PR_OWN_MESSAGE_MARK, mapi::PropValue::Long(mapi::PR_MESSAGE_SIZE, 5));
  EXPECT_EQ(record.GetLong(mapi::PR_OWN_MESSAGE_MARK).hr, mapi::E_FAIL);

  faults().Clear();
  faults().Fail(Call::kGetProps, id, mapi::MAPI_E_BUSY, 1);
  EXPECT_EQ(record.GetLong(mapi::PR_MESSAGE_FLAGS).hr, mapi::MAPI_E_BUSY);
}

// ---- The body ----

TEST_F(MessageRecordTest, TheBodyOfAnHtmlMessageIsItsHtmlAsText) {
  MessageRecord record =
      Record(MessageBuilder()
                 .Body("plain rendering")
                 .HtmlBody("<html><body>Hello <img src=\"cid:logo\"></body></html>"));
  EXPECT_EQ(record.GetString(mapi::PR_BODY), " Hello arbr3cd0");
}

TEST_F(MessageRecordTest, TheBodyIsReadOnce) {
  MessageRecord record = Record(MessageBuilder().HtmlBody("<html><body>Hi</body></html>"));
  faults().ResetCalls();
  record.GetString(mapi::PR_BODY);
  record.GetString(mapi::PR_BODY);
  EXPECT_EQ(faults().Calls(Call::kOpenProperty, id), 1u);
}

TEST_F(MessageRecordTest, OrdinaryRtfFallsBackToThePlainBody) {
  MessageRecord record = Record(MessageBuilder().TextRtfBody("Hello").Body("Hello"));
  EXPECT_EQ(record.GetString(mapi::PR_BODY), "Hello");
}

TEST_F(MessageRecordTest, HtmlWithoutTextFallsBackToThePlainBody) {
  // Text before "</html>" and no body element: the HTML gives no text at all.
  std::string rtf = "{\\rtf1{\\*\\htmltag1 x}{\\*\\htmltag2 </html>}{\\*\\htmltag3 <body>}}";
  MessageRecord record =
      Record(MessageBuilder().RawRtfCompressed(mapi::CompressRtf(rtf)).Body("plain"));
  EXPECT_EQ(record.GetString(mapi::PR_BODY), "plain");
}

TEST_F(MessageRecordTest, NoBodyAtAllIsEmpty) {
  MessageRecord record = Record(MessageBuilder().TextRtfBody(""));
  EXPECT_EQ(record.GetString(mapi::PR_BODY), "");
}

TEST_F(MessageRecordTest, AnUnreadableRtfBodyIsTheIncorrectHtmlMarker) {
  struct Case {
    const char* what;
    MessageBuilder builder;
    bool failOpen;
  };
  const Case cases[] = {
      {"damaged compressed RTF", MessageBuilder().RawRtfCompressed("garbage").Body("b"), false},
      {"truncated compressed RTF",
       MessageBuilder()
           .RawRtfCompressed(mapi::CompressRtf("{\\rtf1 hello}").substr(0, 20))
           .Body("b"),
       false},
      {"no RTF body", MessageBuilder().Body("b"), false},
      {"the RTF body cannot be opened", MessageBuilder().HtmlBody("<p>x").Body("b"), true},
  };
  for (const Case& c : cases) {
    MessageRecord record = Record(c.builder);
    if (c.failOpen) faults().Fail(Call::kOpenProperty, id, mapi::MAPI_E_NO_ACCESS, 1);
    EXPECT_EQ(record.GetString(mapi::PR_BODY), "arbr4cd0") << c.what;
    faults().Clear();
  }
}

TEST_F(MessageRecordTest, AnRtfStreamThatCannotBeReadIsTheIncorrectHtmlMarker) {
  // The stream opens but its reads fail: the RTF cannot be decompressed.
  MessageRecord record = Record(MessageBuilder().HtmlBody("<p>x").Body("plain"));
  faults().Fail(Call::kStreamRead, id, mapi::MAPI_E_DISK_ERROR);
  EXPECT_EQ(record.GetString(mapi::PR_BODY), "arbr4cd0");
}

TEST_F(MessageRecordTest, WithoutBodyFallbacksPrBodyIsTheStoredValue) {
  auto saved = MessageBuilder().Body("plain").HtmlBody("<p>x").SaveIn(*box.Inbox());
  auto message = box.OpenMessage(*saved);
  EXPECT_EQ(ReadStringProperty(message.get(), mapi::PR_BODY, false).value, "plain");
}

class LargeBodyTest : public MessageRecordTest {
 protected:
  static mapi::memory::StoreOptions SmallValues() {
    mapi::memory::StoreOptions options = TestMailbox::DefaultOptions();
    options.largePropertyLimit = 1000;
    return options;
  }
  LargeBodyTest() : MessageRecordTest(SmallValues()) {}
};

TEST_F(LargeBodyTest, APlainBodyTooLargeForAValueIsReadThroughAStream) {
  for (std::size_t size : {std::size_t{999}, std::size_t{16383}, std::size_t{16384},
                           std::size_t{16385}, std::size_t{70000}}) {
    std::string text(size, 'w');
    text[size / 2] = ' ';
    MessageRecord record = Record(MessageBuilder().TextRtfBody("x").Body(text));
    EXPECT_EQ(record.GetString(mapi::PR_BODY), text) << size;
  }
}

TEST_F(LargeBodyTest, AnHtmlBodyOfExactlyOneBufferIsReadWhole) {
  // Pad the HTML until its RTF is exactly 16384 bytes.
  std::string html = "<html><body>";
  std::string tail = "end</body></html>";
  std::string padding(16384 - mapi::EncapsulateHtml(html + tail).size(), 'a');
  ASSERT_EQ(mapi::EncapsulateHtml(html + padding + tail).size(), 16384u);
  MessageRecord record = Record(MessageBuilder().HtmlBody(html + padding + tail));
  EXPECT_EQ(record.GetString(mapi::PR_BODY), " " + padding + "end");
}

// ---- Attachments ----

TEST_F(MessageRecordTest, NoAttachments) {
  MessageRecord record = Record(MessageBuilder().Subject("x"));
  AttachmentSummary summary = record.GetAttachmentSummary();
  EXPECT_EQ(summary.attachmentCount, 0);
  EXPECT_EQ(summary.attachmentFlags, 0u);
}

TEST_F(MessageRecordTest, AttachmentNamesSetTheirFlags) {
  struct Case {
    std::vector<std::string> names;
    std::uint32_t flags;
  };
  const Case cases[] = {
      {{"REPORT.HTML"}, 0},
      {{"report.html"}, HasHtmlAttachment},
      {{"page.htm", "SETUP.EXE"}, HasHtmlAttachment | HasExecutable},
      {{"Norton AntiVirus Report.TXT"}, HasAvReport},
      {{"Norton AntiVirus Report.log"}, 0},
      {{"ViRuSWarning.txt"}, HasAvReport},
      {{"Details.TXT"}, HasDeliveryDetails},
      {{"readme.txt"}, 0},
      {{"notes.combined"}, HasExecutable},
      {{"a.txt", "b.txt", "c.txt", "d.txt", "e.exe"}, HasExecutable},
  };
  for (const Case& c : cases) {
    MessageBuilder builder;
    for (const std::string& name : c.names) builder.Attachment(name);
    MessageRecord record = Record(builder);
    AttachmentSummary summary = record.GetAttachmentSummary();
    EXPECT_EQ(summary.attachmentCount, static_cast<std::int32_t>(c.names.size())) << c.names[0];
    EXPECT_EQ(summary.attachmentFlags, c.flags) << c.names[0];
  }
}

TEST_F(MessageRecordTest, TheShortNameIsTestedToo) {
  MessageBuilder::AttachmentSpec spec;
  spec.longName = "Long name without extension";
  spec.shortName = "PROGRA~1.EXE";
  MessageRecord record = Record(MessageBuilder().Attachment(spec));
  EXPECT_EQ(record.GetAttachmentSummary().attachmentFlags, HasExecutable);
}

TEST_F(MessageRecordTest, OnlyTheFirstThreeAttachmentsAreOpenedForTheirFlags) {
  struct Case {
    int flaggedIndex;  // which of four attachments has PR_ATTACH_FLAGS set
    bool html;
  };
  for (const Case c : {Case{0, true}, Case{2, true}, Case{3, false}}) {
    MessageBuilder builder;
    for (int i = 0; i < 4; ++i) {
      builder.Attachment("file" + std::to_string(i) + ".txt",
                         i == c.flaggedIndex ? mapi::ATT_MHTML_REF : 0);
    }
    MessageRecord record = Record(builder);
    faults().ResetCalls();
    AttachmentSummary summary = record.GetAttachmentSummary();
    EXPECT_EQ(summary.attachmentFlags, c.html ? HasHtmlAttachment : 0u) << c.flaggedIndex;
    EXPECT_EQ(faults().Calls(Call::kOpenAttach, id),
              static_cast<std::size_t>(c.html ? c.flaggedIndex + 1 : 3))
        << c.flaggedIndex;
  }
}

TEST_F(MessageRecordTest, AnAttachmentThatCannotBeOpenedIsSkipped) {
  MessageRecord record =
      Record(MessageBuilder().Attachment("a.txt").Attachment("b.txt", mapi::ATT_MHTML_REF));
  faults().Fail(Call::kOpenAttach, id, mapi::MAPI_E_NO_ACCESS, 1);
  AttachmentSummary summary = record.GetAttachmentSummary();
  EXPECT_EQ(summary.attachmentCount, 2);
  EXPECT_EQ(summary.attachmentFlags, HasHtmlAttachment);
}

TEST_F(MessageRecordTest, TheSummaryIsComputedOnce) {
  MessageRecord record = Record(MessageBuilder().Attachment("x.exe"));
  faults().ResetCalls();
  record.GetAttachmentSummary();
  record.GetAttachmentSummary();
  EXPECT_EQ(faults().Calls(Call::kGetAttachmentTable, id), 1u);
}

TEST_F(MessageRecordTest, AFailedAttachmentTableIsTriedAgain) {
  for (Call failing : {Call::kGetAttachmentTable, Call::kQueryRows}) {
    MessageRecord record = Record(MessageBuilder().Attachment("x.exe"));
    faults().Fail(failing, id, mapi::MAPI_E_CALL_FAILED, 1);
    AttachmentSummary failed = record.GetAttachmentSummary();
    EXPECT_EQ(failed.attachmentCount, -1);
    EXPECT_EQ(failed.attachmentFlags, 0u);
    AttachmentSummary retried = record.GetAttachmentSummary();
    EXPECT_EQ(retried.attachmentCount, 1);
    EXPECT_EQ(retried.attachmentFlags, HasExecutable);
    faults().Clear();
  }
}

}  // namespace
}  // namespace quorvel
