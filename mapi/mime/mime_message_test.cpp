#include "mapi/mime/mime_message.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>

#include "mapi/compressed_rtf.h"
#include "mapi/queries.h"
#include "platform/code_page.h"
#include "platform/file_system.h"

namespace quorvel::mapi {
namespace {

std::string MailPath(const std::string& name) {
  const char* root = std::getenv("QUORVEL_SOURCE_DIR");
  std::filesystem::path base = root != nullptr
                                   ? std::filesystem::path(root)
                                   : std::filesystem::path(__FILE__).parent_path() / "../..";
  return (base / "testdata/mail" / name).string();
}

std::shared_ptr<Message> Open(const std::string& name, const std::string& account = {}) {
  MimeMessageContext context;
  context.accountAddress = account;
  auto m = OpenMimeMessageFile(MailPath(name), std::move(context));
  EXPECT_TRUE(m.ok()) << name;
  return m.ok() ? m.value : OpenMimeMessageBytes("");
}

std::string String(Message& m, PropTag tag) {
  auto v = HrGetOneProp(m, tag);
  return v.ok() && v->AsString8() ? *v->AsString8() : "<absent>";
}

std::int32_t Long(Message& m, PropTag tag) {
  auto v = HrGetOneProp(m, tag);
  return v.ok() && v->AsLong() ? *v->AsLong() : -1;
}

std::string Rtf(Message& m) {
  auto v = HrGetOneProp(m, PR_RTF_COMPRESSED);
  if (!v.ok() || v->AsBinary() == nullptr) return "<absent>";
  auto rtf = DecompressRtf(v->AsBinary()->bytes);
  return rtf.ok() ? rtf.value : "<undecodable>";
}

class MimeMessageTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(platform::SetCodePageForTesting(1252)); }
  void TearDown() override { platform::SetCodePageForTesting(0); }
};

TEST_F(MimeMessageTest, PropertyMappingTable) {
  struct Case {
    const char* file;
    PropTag tag;
    const char* expected;
  };
  const Case cases[] = {
      {"plain.eml", PR_MESSAGE_CLASS, "IPM.Note"},
      {"plain.eml", PR_SUBJECT, "Lunch on Thursday?"},
      {"plain.eml", PR_SENDER_NAME, "Anna Berg"},
      {"plain.eml", PR_SENDER_EMAIL_ADDRESS, "anna.berg@lindqvist.example"},
      {"plain.eml", PR_SENDER_ADDRTYPE, "SMTP"},
      {"plain.eml", PR_DISPLAY_TO, "Me Myself; bob@home.example"},
      {"plain.eml", PR_DISPLAY_CC, "Carol (work)"},
      {"plain.eml", PR_RECEIVED_BY_EMAIL_ADDRESS, "me@home.example"},
      {"plain.eml", PR_INTERNET_MESSAGE_ID, "<20260302081400.1234@lindqvist.example>"},
      {"html_only.eml", PR_BODY, "Caf\xE9 deals & more\r\nVisit our shop"},
      {"html_only.eml", PR_RECEIVED_BY_EMAIL_ADDRESS, "<absent>"},
      {"delivery_report.eml", PR_MESSAGE_CLASS, "REPORT.IPM.Note.NDR"},
      {"delivery_report.eml", PR_SENDER_EMAIL_ADDRESS, "MAILER-DAEMON@mx.home.example"},
      {"read_receipt.eml", PR_MESSAGE_CLASS, "REPORT.IPM.Note.IPNRN"},
      {"invitation.eml", PR_MESSAGE_CLASS, "IPM.Schedule.Meeting.Request"},
      {"unsent_draft.eml", PR_SENDER_NAME, "<absent>"},
      {"broken_no_headers.eml", PR_SUBJECT, "<absent>"},
      {"broken_no_headers.eml", PR_TRANSPORT_MESSAGE_HEADERS, "<absent>"},
      {"broken_no_headers.eml", PR_BODY, "just some text\r\nwith no header block at all\r\n"},
  };
  for (const Case& c : cases) {
    auto m = Open(c.file);
    EXPECT_EQ(String(*m, c.tag), c.expected) << c.file << " tag " << std::hex << c.tag;
  }
}

TEST_F(MimeMessageTest, AccountAddressWinsOverDeliveredTo) {
  auto m = Open("plain.eml", "owner@account.example");
  EXPECT_EQ(String(*m, PR_RECEIVED_BY_EMAIL_ADDRESS), "owner@account.example");
}

TEST_F(MimeMessageTest, MessageFlags) {
  EXPECT_EQ(Long(*Open("plain.eml"), PR_MESSAGE_FLAGS), 0);
  EXPECT_EQ(Long(*Open("related_inline.eml"), PR_MESSAGE_FLAGS),
            static_cast<std::int32_t>(MSGFLAG_HASATTACH));
  MimeMessageContext context;
  context.storeFlags = MSGFLAG_READ | MSGFLAG_UNSENT | MSGFLAG_SUBMIT;  // SUBMIT is not ours
  auto m = OpenMimeMessage(ParseMime("Subject: x\n\nbody\n"), context);
  EXPECT_EQ(Long(*m, PR_MESSAGE_FLAGS), static_cast<std::int32_t>(MSGFLAG_READ | MSGFLAG_UNSENT));
  EXPECT_EQ(m->SetReadFlag(CLEAR_READ_FLAG), S_OK);
  EXPECT_EQ(Long(*m, PR_MESSAGE_FLAGS), static_cast<std::int32_t>(MSGFLAG_UNSENT));
}

// Anyone can write "X-Unsent: 1" (the toner advertisement is delivered spam that does):
// only the store makes a message a draft or read.
TEST_F(MimeMessageTest, AHeaderNeverMakesADraft) {
  for (const char* file : {"unsent_draft.eml", "x_unsent_advert.eml"}) {
    EXPECT_EQ(Long(*Open(file), PR_MESSAGE_FLAGS), 0) << file;
  }
  auto fromStdin =
      OpenMimeMessageBytes("X-Unsent: 1\nStatus: RO\nX-Status: D\nSubject: x\n\nbody\n");
  EXPECT_EQ(Long(*fromStdin, PR_MESSAGE_FLAGS), 0);
}

TEST_F(MimeMessageTest, HtmlBodyIsEncapsulatedInTheRtf) {
  std::string rtf = Rtf(*Open("html_only.eml"));
  EXPECT_NE(rtf.find("\\fromhtml1"), std::string::npos);
  EXPECT_NE(rtf.find("{\\*\\htmltag"), std::string::npos);
  EXPECT_NE(rtf.find("Caf\\'e9 deals"), std::string::npos);
  EXPECT_EQ(String(*Open("html_only.eml"), PR_TRANSPORT_MESSAGE_HEADERS).substr(0, 26),
            "From: Deals <deals@shop.ex");
}

TEST_F(MimeMessageTest, PlainMailHasPlainRtfWithoutHtml) {
  // A plain message must never read as "RTF body cannot be read": its RTF is present,
  // decodes, and carries no HTML, so readers fall back to the plain body.
  for (const char* file : {"plain.eml", "unsent_draft.eml", "broken_no_headers.eml",
                           "broken_bad_base64.eml", "delivery_report.eml"}) {
    std::string rtf = Rtf(*Open(file));
    EXPECT_EQ(rtf.substr(0, 6), "{\\rtf1") << file;
    EXPECT_EQ(rtf.find("htmltag"), std::string::npos) << file;
    EXPECT_EQ(rtf.find("fromhtml"), std::string::npos) << file;
  }
  EXPECT_EQ(Rtf(*OpenMimeMessageBytes("")).substr(0, 6), "{\\rtf1");
}

TEST_F(MimeMessageTest, AlternativePrefersHtmlForTheRtfAndTextForTheBody) {
  auto m = Open("alternative.eml");
  EXPECT_EQ(String(*m, PR_BODY),
            "March issue: gr\xFC\xDF"
            "e aus K\xF6ln.");
  EXPECT_NE(Rtf(*m).find("\\fromhtml1"), std::string::npos);
  auto html = HrGetOneProp(*m, PR_HTML);
  ASSERT_TRUE(html.ok());
  EXPECT_NE(html->AsBinary()->bytes.find("<b>K\xF6ln</b>"), std::string::npos);
}

TEST_F(MimeMessageTest, AttachmentTable) {
  auto m = Open("related_inline.eml");
  auto table = m->GetAttachmentTable(0);
  ASSERT_TRUE(table.ok());
  const PropTag columns[] = {PR_ATTACH_NUM, PR_ATTACH_FILENAME, PR_ATTACH_LONG_FILENAME,
                             PR_ATTACH_FLAGS};
  auto rows = HrQueryAllRows(**table, columns, std::nullopt);
  ASSERT_TRUE(rows.ok());
  ASSERT_EQ(rows->size(), 4u);
  EXPECT_EQ(GetLong((*rows)[0], PR_ATTACH_NUM), 0);
  EXPECT_EQ(GetString8((*rows)[0], PR_ATTACH_LONG_FILENAME), "logo.png");
  EXPECT_EQ(GetLong((*rows)[0], PR_ATTACH_FLAGS), static_cast<std::int32_t>(ATT_MHTML_REF));
  EXPECT_EQ(GetLong((*rows)[1], PR_ATTACH_FLAGS), static_cast<std::int32_t>(ATT_MHTML_REF));
  EXPECT_TRUE((*rows)[1][2].IsError());  // no name at all
  EXPECT_EQ(GetLong((*rows)[2], PR_ATTACH_FLAGS), 0);
  EXPECT_EQ(GetString8((*rows)[3], PR_ATTACH_FILENAME), "brochure.pdf");
  EXPECT_EQ(GetLong((*rows)[3], PR_ATTACH_FLAGS), 0);

  auto attach = m->OpenAttach(3, MAPI_BEST_ACCESS);
  ASSERT_TRUE(attach.ok());
  auto data = HrGetOneProp(**attach, PR_ATTACH_DATA_BIN);
  ASSERT_TRUE(data.ok());
  EXPECT_EQ(data->AsBinary()->bytes.substr(0, 8), "%PDF-1.4");
  EXPECT_EQ(m->OpenAttach(4, 0).hr, MAPI_E_NOT_FOUND);
  EXPECT_EQ((*attach)->SetProps({}), MAPI_E_NO_ACCESS);
}

TEST_F(MimeMessageTest, RecipientTable) {
  auto m = Open("plain.eml");
  auto table = m->GetRecipientTable(0);
  ASSERT_TRUE(table.ok());
  const PropTag columns[] = {PR_RECIPIENT_TYPE, PR_DISPLAY_NAME, PR_EMAIL_ADDRESS};
  auto rows = HrQueryAllRows(**table, columns, std::nullopt);
  ASSERT_TRUE(rows.ok());
  ASSERT_EQ(rows->size(), 3u);
  EXPECT_EQ(GetLong((*rows)[0], PR_RECIPIENT_TYPE), static_cast<std::int32_t>(MAPI_TO));
  EXPECT_EQ(GetString8((*rows)[0], PR_EMAIL_ADDRESS), "me@home.example");
  EXPECT_EQ(GetLong((*rows)[2], PR_RECIPIENT_TYPE), static_cast<std::int32_t>(MAPI_CC));
  EXPECT_EQ(GetString8((*rows)[2], PR_DISPLAY_NAME), "Carol (work)");
  auto bcc = OpenMimeMessageBytes("Bcc: hidden@example.com\n\nx");
  auto bccRows = HrQueryAllRows(**bcc->GetRecipientTable(0), columns, std::nullopt);
  ASSERT_EQ(bccRows->size(), 1u);
  EXPECT_EQ(GetLong((*bccRows)[0], PR_RECIPIENT_TYPE), static_cast<std::int32_t>(MAPI_BCC));
}

class RecordingSaver : public MimeMessageSaver {
 public:
  HRESULT SaveProps(const std::vector<PropValue>& props) override {
    saved = props;
    ++saves;
    return failSave ? MAPI_E_DISK_ERROR : S_OK;
  }
  HRESULT SetRead(bool read) override {
    lastRead = read;
    return S_OK;
  }
  std::vector<PropValue> saved;
  int saves = 0;
  bool failSave = false;
  std::optional<bool> lastRead;
};

TEST_F(MimeMessageTest, WrittenPropertiesGoToTheSaver) {
  auto saver = std::make_shared<RecordingSaver>();
  auto m = OpenMimeMessage(ParseMime("Subject: x\n\nbody\n"), {}, saver);
  EXPECT_EQ(Long(*m, PR_OWN_MESSAGE_MARK), -1);
  EXPECT_EQ(HrSetOneProp(*m, PropValue::Long(PR_OWN_MESSAGE_MARK, kOwnMessageMarkValue)), S_OK);
  EXPECT_EQ(Long(*m, PR_OWN_MESSAGE_MARK), kOwnMessageMarkValue);
  EXPECT_EQ(m->SaveChanges(KEEP_OPEN_READWRITE), S_OK);
  ASSERT_EQ(saver->saved.size(), 1u);
  EXPECT_EQ(saver->saved[0], PropValue::Long(PR_OWN_MESSAGE_MARK, kOwnMessageMarkValue));
  EXPECT_EQ(m->SaveChanges(0), S_OK);  // nothing new: no second write
  EXPECT_EQ(saver->saves, 1);

  // Identity and computed properties are refused, the rest of the call still applies.
  const PropValue mixed[] = {PropValue::Bin(PR_ENTRYID, "x"),
                             PropValue::String8(PR_SUBJECT, "changed")};
  EXPECT_EQ(m->SetProps(mixed), MAPI_W_ERRORS_RETURNED);
  EXPECT_EQ(String(*m, PR_SUBJECT), "changed");
  saver->failSave = true;
  EXPECT_EQ(m->SaveChanges(0), MAPI_E_DISK_ERROR);

  EXPECT_EQ(m->SetReadFlag(0), S_OK);
  EXPECT_EQ(saver->lastRead, true);
}

TEST_F(MimeMessageTest, SavedPropertiesAndIdentityFromTheContext) {
  MimeMessageContext context;
  context.identity = {PropValue::Bin(PR_ENTRYID, "id-1")};
  context.saved = {PropValue::Long(PR_OWN_MESSAGE_MARK, kOwnMessageMarkValue)};
  auto m = OpenMimeMessage(ParseMime("Subject: x\n\nbody\n"), context);
  EXPECT_EQ(Long(*m, PR_OWN_MESSAGE_MARK), kOwnMessageMarkValue);
  auto id = HrGetOneProp(*m, PR_ENTRYID);
  ASSERT_TRUE(id.ok());
  EXPECT_EQ(id->AsBinary()->bytes, "id-1");
  // A message without a store to keep changes cannot save them.
  EXPECT_EQ(HrSetOneProp(*m, PropValue::Long(PR_OWN_MESSAGE_MARK, 1)), S_OK);
  EXPECT_EQ(m->SaveChanges(0), MAPI_E_NO_ACCESS);

  auto summary = MimeSummaryProps(ParseMime("Subject: x\n\nbody\n"), context);
  EXPECT_EQ(GetString8(summary, PR_SUBJECT), "x");
  EXPECT_EQ(GetLong(summary, PR_OWN_MESSAGE_MARK), kOwnMessageMarkValue);
  EXPECT_EQ(FindPropId(summary, PR_BODY), nullptr);
}

TEST_F(MimeMessageTest, GetPropsReportsMissingValuesAsErrors) {
  auto m = OpenMimeMessageBytes("Subject: only\n\n");
  const PropTag tags[] = {PR_SUBJECT, PR_SENDER_NAME, PR_MESSAGE_FLAGS};
  auto values = m->GetProps(tags);
  EXPECT_EQ(values.hr, MAPI_W_ERRORS_RETURNED);
  ASSERT_EQ(values->size(), 3u);
  EXPECT_EQ(*(*values)[0].AsString8(), "only");
  EXPECT_EQ((*values)[1].tag, PROP_TAG(PT_ERROR, PROP_ID(PR_SENDER_NAME)));
  EXPECT_EQ(*(*values)[2].AsLong(), 0);
  // A long asked for as a string is not found, as the store would answer.
  EXPECT_TRUE(HrGetOneProp(*m, CHANGE_PROP_TYPE(PR_MESSAGE_FLAGS, PT_STRING8)).value.IsError());
}

TEST_F(MimeMessageTest, SubjectAndSenderNameKeepTheirScriptBesideTheAnsiText) {
  // Arabic (UTF-8, quoted-printable) and a Cyrillic name in KOI8-R.
  const std::string arabic = "\xD9\x85\xD8\xB1\xD8\xAD\xD8\xA8\xD8\xA7";
  const std::string ivan = "\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD";
  const std::string mail =
      "From: =?koi8-r?B?6dfBzg==?= <ivan@example.ru>\n"
      "Subject: =?UTF-8?Q?=D9=85=D8=B1=D8=AD=D8=A8=D8=A7?=\n\nbody\n";
  MimeMessage parsed = ParseMime(mail);
  EXPECT_EQ(parsed.subjectUtf8, arabic);
  EXPECT_EQ(parsed.subject, platform::Utf8ToAnsi(arabic));
  ASSERT_TRUE(parsed.from.has_value());
  EXPECT_EQ(parsed.from->nameUtf8, ivan);
  EXPECT_EQ(parsed.from->name, "????");

  // The contents tables' rows and the open message both answer the Unicode text.
  auto summary = MimeSummaryProps(parsed, MimeMessageContext{});
  auto m = OpenMimeMessageBytes(mail);
  const PropTag tags[] = {PR_UNICODE_SUBJECT, PR_UNICODE_SENDER_NAME, PR_SUBJECT};
  auto values = m->GetProps(tags);
  ASSERT_TRUE(values.ok());
  for (const std::vector<PropValue>* props : {&summary, &*values}) {
    const PropValue* subject = FindProp(*props, PR_UNICODE_SUBJECT);
    const PropValue* name = FindProp(*props, PR_UNICODE_SENDER_NAME);
    ASSERT_TRUE(subject != nullptr && name != nullptr);
    EXPECT_EQ(platform::WideToUtf8(*subject->AsUnicode()), arabic);
    EXPECT_EQ(platform::WideToUtf8(*name->AsUnicode()), ivan);
    EXPECT_EQ(GetString8(*props, PR_SUBJECT), "?????");
  }
  // A mailbox without a name has no Unicode name.
  EXPECT_EQ(
      FindPropId(MimeSummaryProps(ParseMime("From: a@b.example\n\n"), {}), PR_UNICODE_SENDER_NAME),
      nullptr);
}

// Hebrew recipients and attachment names: the recipient and attachment tables answer
// them in any script beside the ANSI names the rules read.
TEST_F(MimeMessageTest, RecipientAndAttachmentNamesKeepTheirScript) {
  const std::string dana = "\xD7\x93\xD7\xA0\xD7\x94";                  // Hebrew
  const std::string report = "\xD7\x93\xD7\x95\xD7\x97.pdf";            // Hebrew + ".pdf"
  const std::string olga = "\xD0\x9E\xD0\xBB\xD1\x8C\xD0\xB3\xD0\xB0";  // Cyrillic
  const std::string mail =
      "From: a@b.example\n"
      "To: =?UTF-8?B?15PXoNeU?= <dana@example.il>, plain@example.org\n"
      "Cc: =?UTF-8?B?0J7Qu9GM0LPQsA==?= <olga@example.ru>\n"
      "MIME-Version: 1.0\n"
      "Content-Type: multipart/mixed; boundary=b\n\n"
      "--b\nContent-Type: text/plain\n\nbody\n"
      "--b\nContent-Type: application/pdf\n"
      "Content-Disposition: attachment; filename*=UTF-8''%D7%93%D7%95%D7%97.pdf\n\nx\n"
      "--b\nContent-Type: text/plain\nContent-Disposition: attachment\n\nno name\n"
      "--b--\n";
  auto m = OpenMimeMessageBytes(mail);
  const PropTag recipientColumns[] = {PR_UNICODE_DISPLAY_NAME, PR_DISPLAY_NAME, PR_EMAIL_ADDRESS};
  auto recipients = HrQueryAllRows(**m->GetRecipientTable(0), recipientColumns, std::nullopt);
  ASSERT_TRUE(recipients.ok());
  ASSERT_EQ(recipients->size(), 3u);
  struct Expected {
    const std::string* unicode;  // nullptr: no Unicode name (the header gave none)
    const char* ansi;
  } expected[] = {{&dana, "???"}, {nullptr, "plain@example.org"}, {&olga, "?????"}};
  for (std::size_t i = 0; i < 3; ++i) {
    const Row& row = (*recipients)[i];
    if (expected[i].unicode != nullptr) {
      ASSERT_NE(row[0].AsUnicode(), nullptr) << i;
      EXPECT_EQ(platform::WideToUtf8(*row[0].AsUnicode()), *expected[i].unicode);
    } else {
      EXPECT_EQ(row[0].AsUnicode(), nullptr) << i;
    }
    ASSERT_NE(row[1].AsString8(), nullptr) << i;
    EXPECT_EQ(*row[1].AsString8(), expected[i].ansi);
  }

  const PropTag attachColumns[] = {PR_UNICODE_ATTACH_FILENAME, PR_ATTACH_LONG_FILENAME};
  auto attachments = HrQueryAllRows(**m->GetAttachmentTable(0), attachColumns, std::nullopt);
  ASSERT_TRUE(attachments.ok());
  ASSERT_EQ(attachments->size(), 2u);
  ASSERT_NE((*attachments)[0][0].AsUnicode(), nullptr);
  EXPECT_EQ(platform::WideToUtf8(*(*attachments)[0][0].AsUnicode()), report);
  EXPECT_EQ(*(*attachments)[0][1].AsString8(), "???.pdf");
  EXPECT_EQ((*attachments)[1][0].AsUnicode(), nullptr);  // no name, no Unicode name
  auto attach = m->OpenAttach(0, 0);
  ASSERT_TRUE(attach.ok());
  auto name = HrGetOneProp(**attach, PR_UNICODE_ATTACH_FILENAME);
  ASSERT_TRUE(name.ok());
  EXPECT_EQ(platform::WideToUtf8(*name->AsUnicode()), report);
}

TEST_F(MimeMessageTest, BodyThroughAStream) {
  auto m = Open("plain.eml");
  auto stream = m->OpenProperty(PR_BODY, MAPI_DEFERRED_ERRORS);
  ASSERT_TRUE(stream.ok());
  auto text = ReadAll(**stream);
  ASSERT_TRUE(text.ok());
  EXPECT_EQ(text->substr(0, 7), "Hi,\r\n\r\n");
  EXPECT_EQ(m->OpenProperty(PR_SENDER_NAME, 0).ok(), true);
  EXPECT_EQ(OpenMimeMessageBytes("\n\nx")->OpenProperty(PR_HTML, 0).hr, MAPI_E_NOT_FOUND);
}

TEST_F(MimeMessageTest, MissingFile) {
  EXPECT_EQ(OpenMimeMessageFile(MailPath("absent.eml")).hr, MAPI_E_NOT_FOUND);
}

}  // namespace
}  // namespace quorvel::mapi

namespace quorvel::mapi {
namespace {

// Every test message cut short at many places and with bytes overwritten: every
// property and both tables still read without a crash, and the RTF always decodes.
TEST_F(MimeMessageTest, TruncatedAndCorruptedCopiesOfEveryMessage) {
  const PropTag tags[] = {PR_MESSAGE_CLASS, PR_SUBJECT,
                          PR_SENDER_NAME,   PR_SENDER_EMAIL_ADDRESS,
                          PR_DISPLAY_TO,    PR_TRANSPORT_MESSAGE_HEADERS,
                          PR_BODY,          PR_HTML,
                          PR_MESSAGE_FLAGS};
  const PropTag attachColumns[] = {PR_ATTACH_NUM, PR_ATTACH_FILENAME, PR_ATTACH_LONG_FILENAME,
                                   PR_ATTACH_FLAGS};
  for (const auto& entry : std::filesystem::directory_iterator(MailPath(""))) {
    std::string original;
    ASSERT_TRUE(platform::RealFileSystem().ReadFile(entry.path().string(), &original).ok());
    for (std::size_t cut = 0; cut < original.size(); cut += 1 + original.size() / 40) {
      for (int corrupt = 0; corrupt < 2; ++corrupt) {
        std::string damaged = original.substr(0, cut);
        if (corrupt) {
          for (std::size_t i = 3; i < damaged.size(); i += 11) damaged[i] = '\xFF';
        }
        auto m = OpenMimeMessageBytes(damaged);
        EXPECT_TRUE(Succeeded(m->GetProps(tags).hr));
        EXPECT_NE(Rtf(*m).substr(0, 6), "<undec") << entry.path() << " cut " << cut;
        auto table = m->GetAttachmentTable(0);
        auto rows = HrQueryAllRows(**table, attachColumns, std::nullopt);
        ASSERT_TRUE(rows.ok());
        for (std::size_t i = 0; i < rows->size(); ++i) {
          auto attach = m->OpenAttach(static_cast<std::uint32_t>(i), 0);
          ASSERT_TRUE(attach.ok());
          EXPECT_TRUE(HrGetOneProp(**attach, PR_ATTACH_DATA_BIN).ok());
        }
      }
    }
  }
}

}  // namespace
}  // namespace quorvel::mapi
