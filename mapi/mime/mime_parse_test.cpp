#include "mapi/mime/mime_parse.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/code_page.h"

namespace quorvel::mapi {
namespace {

std::string MailPath(const std::string& name) {
  const char* root = std::getenv("QUORVEL_SOURCE_DIR");
  std::string base =
      root != nullptr
          ? std::string(root)
          : std::filesystem::path(__FILE__).parent_path().parent_path().parent_path().string();
  return base + "/testdata/mail/" + name;
}

MimeMessage Load(const std::string& name) {
  MimeMessage m;
  std::string error;
  EXPECT_TRUE(ParseMimeFile(MailPath(name), &m, &error)) << error;
  return m;
}

class MimeParseTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(platform::SetCodePageForTesting(1252)); }
  void TearDown() override { platform::SetCodePageForTesting(0); }
};

TEST_F(MimeParseTest, PlainMessageHeadersAndRecipients) {
  MimeMessage m = Load("plain.eml");
  EXPECT_EQ(m.messageClass, "IPM.Note");
  EXPECT_EQ(m.subject, "Lunch on Thursday?");
  ASSERT_TRUE(m.from.has_value());
  EXPECT_EQ(m.from->name, "Anna Berg");
  EXPECT_EQ(m.from->address, "anna.berg@lindqvist.example");
  // A mailbox without a display name shows its address as its name.
  EXPECT_EQ(m.displayTo, "Me Myself; bob@home.example");
  ASSERT_EQ(m.recipients.size(), 3u);
  EXPECT_EQ(m.recipients[0].type, kMimeTo);
  EXPECT_EQ(m.recipients[1].mailbox.name, "bob@home.example");
  EXPECT_EQ(m.recipients[2].type, kMimeCc);
  EXPECT_EQ(m.recipients[2].mailbox.name, "Carol (work)");
  EXPECT_EQ(m.recipients[2].mailbox.address, "carol@work.example");
  EXPECT_EQ(m.deliveredTo, "me@home.example");
  EXPECT_EQ(m.messageId, "<20260302081400.1234@lindqvist.example>");
  ASSERT_TRUE(m.date.has_value());
  EXPECT_EQ(*m.date, 1772439240);  // 2026-03-02 08:14:00 UTC
  EXPECT_TRUE(m.hasTextBody);
  EXPECT_FALSE(m.hasHtmlBody);
  EXPECT_EQ(m.textBody.substr(0, 7), "Hi,\r\n\r\n");
  EXPECT_EQ(m.textBody.find("\n\n"), std::string::npos);
  EXPECT_TRUE(m.attachments.empty());
}

TEST_F(MimeParseTest, TransportHeadersAreTheRawBlockWithCrlf) {
  MimeMessage m = Load("plain.eml");
  EXPECT_EQ(m.transportHeaders.substr(0, 47), "Return-Path: <anna.berg@lindqvist.example>\r\nDel");
  // Folded lines stay folded; the block ends with the last header line.
  EXPECT_NE(m.transportHeaders.find("\r\n\tby mail.home.example"), std::string::npos);
  const std::string last = "Content-Transfer-Encoding: 7bit\r\n";
  ASSERT_GT(m.transportHeaders.size(), last.size());
  EXPECT_EQ(m.transportHeaders.substr(m.transportHeaders.size() - last.size()), last);
  EXPECT_EQ(m.transportHeaders.find("are we still"), std::string::npos);
  EXPECT_EQ(m.transportHeaders.find("\n\n"), std::string::npos);
}

TEST_F(MimeParseTest, BodyChoiceAndMessageClassTable) {
  struct Case {
    const char* file;
    const char* messageClass;
    bool text;
    bool html;
    std::size_t attachments;
  };
  const Case cases[] = {
      {"plain.eml", "IPM.Note", true, false, 0},
      {"html_only.eml", "IPM.Note", false, true, 0},
      {"alternative.eml", "IPM.Note", true, true, 0},
      {"related_inline.eml", "IPM.Note", true, true, 4},
      {"rfc2231_names.eml", "IPM.Note", true, false, 4},  // the attached page is no body
      {"delivery_report.eml", "REPORT.IPM.Note.NDR", true, false, 2},
      {"read_receipt.eml", "REPORT.IPM.Note.IPNRN", true, false, 1},
      {"invitation.eml", "IPM.Schedule.Meeting.Request", true, false, 1},
      {"forwarded_message.eml", "IPM.Note", true, false, 1},
      {"unsent_draft.eml", "IPM.Note", true, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    MimeMessage m = Load(c.file);
    EXPECT_EQ(m.messageClass, c.messageClass);
    EXPECT_EQ(m.hasTextBody, c.text);
    EXPECT_EQ(m.hasHtmlBody, c.html);
    EXPECT_EQ(m.attachments.size(), c.attachments);
  }
}

TEST_F(MimeParseTest, InlineImagesReferencedByCidOrLocation) {
  MimeMessage m = Load("related_inline.eml");
  ASSERT_EQ(m.attachments.size(), 4u);
  EXPECT_EQ(m.attachments[0].longFileName, "logo.png");
  EXPECT_EQ(m.attachments[0].contentId, "logo.123@brand.example");
  EXPECT_TRUE(m.attachments[0].referencedByHtml);
  EXPECT_EQ(m.attachments[1].contentLocation, "header.png");
  EXPECT_TRUE(m.attachments[1].referencedByHtml);
  EXPECT_EQ(m.attachments[2].longFileName, "unused.gif");
  EXPECT_FALSE(m.attachments[2].referencedByHtml);
  EXPECT_EQ(m.attachments[3].longFileName, "brochure.pdf");
  EXPECT_EQ(m.attachments[3].mimeType, "application/pdf");
  EXPECT_FALSE(m.attachments[3].referencedByHtml);
  std::string data;
  ASSERT_TRUE(ReadAttachmentData(m, 0, &data));
  EXPECT_EQ(data.substr(0, 4), "\x89PNG");
  EXPECT_EQ(data.size(), 48u);
  EXPECT_FALSE(ReadAttachmentData(m, 4, &data));
}

TEST_F(MimeParseTest, EncodedAttachmentNames) {
  MimeMessage m = Load("rfc2231_names.eml");
  ASSERT_EQ(m.attachments.size(), 4u);
  EXPECT_EQ(m.attachments[0].longFileName, "R\xE9sum\xE9 du projet final.docx");
  EXPECT_EQ(m.attachments[0].shortFileName, "RSUMDU~1.DOC");
  EXPECT_EQ(m.attachments[1].longFileName, "Pr\xE4sentation.pptx");
  EXPECT_EQ(m.attachments[2].longFileName, "SETUP.EXE");
  EXPECT_EQ(m.attachments[2].shortFileName, "SETUP.EXE");
  EXPECT_EQ(m.attachments[3].longFileName, "page.html");
  EXPECT_EQ(m.attachments[3].shortFileName, "PAGE~1.HTM");
  EXPECT_EQ(m.subject, "Fichiers joints \x96 r\xE9sum\xE9");
  EXPECT_EQ(m.from->name, "Jos\xE9");
}

TEST_F(MimeParseTest, ShortFileNames) {
  const std::pair<const char*, const char*> cases[] = {
      {"readme.txt", "readme.txt"},
      {"SETUP.EXE", "SETUP.EXE"},
      {"page.html", "PAGE~1.HTM"},
      {"Quarterly report.xlsx", "QUARTE~1.XLS"},
      {"a.b.c", "AB~1.C"},
      {"noextension", "NOEXTE~1"},
      {"short", "short"},
      {".profile", "~1.PRO"},
      {"", ""},
  };
  for (const auto& [in, out] : cases) {
    EXPECT_EQ(ShortFileName(in), out) << in;
  }
}

TEST_F(MimeParseTest, DeliveryReportSender) {
  MimeMessage ndr = Load("delivery_report.eml");
  EXPECT_EQ(ndr.from->address, "MAILER-DAEMON@mx.home.example");
  EXPECT_EQ(ndr.from->name, "Mail Delivery System");
  EXPECT_NE(ndr.textBody.find("nobody@nowhere.example"), std::string::npos);
  MimeMessage fwd = Load("forwarded_message.eml");
  EXPECT_TRUE(fwd.attachments[0].embeddedMessage);
  std::string inner;
  ASSERT_TRUE(ReadAttachmentData(fwd, 0, &inner));
  EXPECT_NE(inner.find("inner text"), std::string::npos);
}

TEST_F(MimeParseTest, HeadersInUtf8AndLatin1ConvertToTheCodePage) {
  MimeMessage utf8 = Load("headers_utf8.eml");
  EXPECT_EQ(utf8.subject,
            "Gr\xFC\xDF"
            "e aus M\xFCnchen");
  EXPECT_EQ(utf8.from->name, "J\xFCrgen M\xFCller");
  EXPECT_EQ(utf8.displayTo,
            "Ren\xE9"
            "e");
  EXPECT_EQ(utf8.textBody,
            "Hallo Ren\xE9"
            "e, sch\xF6ne Gr\xFC\xDF"
            "e.\r\n");

  MimeMessage latin1 = Load("headers_latin1.eml");
  EXPECT_EQ(latin1.subject, "Caf\xE9 cr\xE8me");  // raw 8-bit, the body's charset
  EXPECT_EQ(latin1.from->name, "Fran\xE7ois Lef\xE8vre");
  EXPECT_EQ(latin1.textBody, "Un caf\xE9 cr\xE8me, s'il vous pla\xEEt.\r\n");
}

TEST_F(MimeParseTest, Koi8rHeadersInTheCyrillicCodePage) {
  ASSERT_TRUE(platform::SetCodePageForTesting(1251));
  MimeMessage m = Load("headers_koi8r.eml");
  // "Привет из Москвы" and "Иван Петров" in Windows-1251.
  EXPECT_EQ(m.subject, "\xCF\xF0\xE8\xE2\xE5\xF2 \xE8\xE7 \xCC\xEE\xF1\xEA\xE2\xFB");
  EXPECT_EQ(m.from->name, "\xC8\xE2\xE0\xED \xCF\xE5\xF2\xF0\xEE\xE2");
  EXPECT_EQ(m.textBody, "\xCF\xF0\xE8\xE2\xE5\xF2!\r\n");
  // Unlabelled 8-bit names in addresses are read in the body's charset too.
  // "Иван" and "Пётр" in KOI8-R.
  MimeMessage raw = ParseMime(
      "From: \xE9\xD7\xC1\xCE <ivan@example.ru>\nTo: \xF0\xA3\xD4\xD2 <p@example.ru>\n"
      "Content-Type: text/plain; charset=koi8-r\n\nx\n");
  EXPECT_EQ(raw.from->name, "\xC8\xE2\xE0\xED");
  EXPECT_EQ(raw.displayTo, "\xCF\xB8\xF2\xF0");
}

TEST_F(MimeParseTest, HtmlBodyDecodedFromQuotedPrintable) {
  MimeMessage m = Load("html_only.eml");
  EXPECT_NE(m.htmlBody.find("<p>Caf\xE9 deals &amp; more</p>"), std::string::npos);
  EXPECT_NE(m.htmlBody.find("href=\"http://shop.example/deals\""), std::string::npos);
}

TEST_F(MimeParseTest, BrokenMailGivesWhatCanBeRecovered) {
  MimeMessage cut = Load("broken_truncated_multipart.eml");
  EXPECT_EQ(cut.subject, "Cut short");
  EXPECT_EQ(cut.textBody, "The first part arrived.");
  ASSERT_EQ(cut.attachments.size(), 1u);
  EXPECT_EQ(cut.attachments[0].longFileName, "files.zip");

  MimeMessage b64 = Load("broken_bad_base64.eml");
  EXPECT_EQ(b64.textBody.substr(0, 11), "Hello world");

  MimeMessage unknown = Load("broken_unknown_charset.eml");
  EXPECT_EQ(unknown.textBody, "Na\xEFve text in UTF-8.\r\n");
  EXPECT_FALSE(unknown.subject.empty());

  MimeMessage none = Load("broken_no_headers.eml");
  EXPECT_TRUE(none.hasTextBody);
  EXPECT_EQ(none.textBody, "just some text\r\nwith no header block at all\r\n");
  EXPECT_FALSE(none.from.has_value());
  EXPECT_EQ(none.messageClass, "IPM.Note");
}

TEST_F(MimeParseTest, DegenerateInputsNeverFail) {
  static constexpr char kNulBytes[] = "Subject: nul\0byte\n\nbody\0more";
  const std::string inputs[] = {
      "",
      "\n",
      "Subject: only a header",
      "Content-Type: multipart/mixed; boundary=x\n\n--x\n--x\n--x--\n",
      "Content-Type: multipart/mixed\n\nno boundary parameter\n",
      "From: <>\nTo: ,,,;;\nSubject: =?utf-8?B?####?=\n\n",
      std::string(kNulBytes, sizeof(kNulBytes) - 1),
      "Content-Type: text/plain; charset=utf-7\n\n+AGEAYgBj-\n",
  };
  for (const std::string& in : inputs) {
    MimeMessage m = ParseMime(in);
    EXPECT_FALSE(m.messageClass.empty());
    for (std::size_t i = 0; i < m.attachments.size(); ++i) {
      std::string data;
      EXPECT_TRUE(ReadAttachmentData(m, i, &data));
    }
  }
}

TEST_F(MimeParseTest, DeepNestingIsCutOffNotRecursedWithoutBound) {
  std::string msg = "Subject: deep\n";
  const int depth = 400;
  for (int i = 0; i < depth; ++i) {
    msg += "Content-Type: multipart/mixed; boundary=b" + std::to_string(i) + "\n\n--b" +
           std::to_string(i) + "\n";
  }
  msg += "Content-Type: text/plain\n\nbottom\n";
  MimeMessage m = ParseMime(msg);
  EXPECT_EQ(m.subject, "deep");
}

TEST_F(MimeParseTest, MissingFileIsAnError) {
  MimeMessage m;
  std::string error;
  EXPECT_FALSE(ParseMimeFile(MailPath("no-such-file.eml"), &m, &error));
  EXPECT_NE(error.find("no-such-file.eml"), std::string::npos);
}

}  // namespace
}  // namespace quorvel::mapi
