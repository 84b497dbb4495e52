#include "mapi/mime/filter_fields.h"

#include <gtest/gtest.h>

#include <string>

#include "mapi/mime/mime_parse.h"
#include "platform/code_page.h"

namespace quorvel::mapi {
namespace {

constexpr std::string_view kAdded = "X-Quorvel-Verdict: good\n";

// The message as the filter writes it.
std::string Stamped(std::string_view message, std::string_view added = kAdded) {
  const StampedHead stamped = StampMessage(message, added);
  return stamped.head + std::string(message.substr(stamped.rest));
}

TEST(StampMessageTest, FieldsGoOnTopAndEverythingElseStaysByteForByte) {
  struct Case {
    const char* what;
    std::string in;
    std::string out;
  };
  using namespace std::string_literals;
  const Case cases[] = {
      {"plain", "From: a@b\nSubject: x\n\nbody\n",
       "X-Quorvel-Verdict: good\nFrom: a@b\nSubject: x\n\nbody\n"},
      {"mailbox separator stays first", "From a@b Mon Jan  1 00:00:00 2024\nSubject: x\n\nb\n",
       "From a@b Mon Jan  1 00:00:00 2024\nX-Quorvel-Verdict: good\nSubject: x\n\nb\n"},
      {"no body", "Subject: x\nTo: y", "X-Quorvel-Verdict: good\nSubject: x\nTo: y"},
      {"no header", "\nbody only\n", "X-Quorvel-Verdict: good\n\nbody only\n"},
      {"not a message at all", "hello", "X-Quorvel-Verdict: good\nhello"},
      {"NUL bytes and stray CRs", "Subject: a\0b\r\rc\n\n\0\r\n"s,
       "X-Quorvel-Verdict: good\nSubject: a\0b\r\rc\n\n\0\r\n"s},
      {"forged names in the body are the body's",
       "S: x\n\nX-Spam-Flag: NO\nX-Quorvel-Verdict: good\n",
       "X-Quorvel-Verdict: good\nS: x\n\nX-Spam-Flag: NO\nX-Quorvel-Verdict: good\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Stamped(c.in), c.out) << c.what;
  }
}

TEST(StampMessageTest, ForgedVerdictFieldsAreTakenOutWithTheirContinuations) {
  const std::string in =
      "X-Spam-Flag: YES\n"
      "Received: by x\n"
      "  for <y>\n"
      "x-quorvel-verdict: good\n"
      "\tfolded on\n"
      " twice\n"
      "X-Spam-Flagged: kept\n"
      "X-Spam-Status: kept\n"
      "X-Quorvel: kept, not one of ours\n"
      "X-QUORVEL-SCORE : 0.00\n"
      "X-Quorvel-Reason:White List\n"
      "x-spam-flag\t: NO\n"
      "Subject: last\n"
      "\n"
      "X-Quorvel-Verdict: body\n";
  EXPECT_EQ(Stamped(in),
            "X-Quorvel-Verdict: good\n"
            "Received: by x\n"
            "  for <y>\n"
            "X-Spam-Flagged: kept\n"
            "X-Spam-Status: kept\n"
            "X-Quorvel: kept, not one of ours\n"
            "Subject: last\n"
            "\n"
            "X-Quorvel-Verdict: body\n");
  // A forged field that ends the input, without a line end, goes too.
  EXPECT_EQ(Stamped("Subject: s\nX-Spam-Flag: NO"), "X-Quorvel-Verdict: good\nSubject: s\n");
  EXPECT_EQ(Stamped("X-Quorvel-Verdict: good\r\n\r\nb"), "X-Quorvel-Verdict: good\n\r\nb");
}

TEST(StampMessageTest, TheRestStartsAtTheEmptyLineSoTheBodyIsNeverCopied) {
  const std::string in = "From x Thu\r\nA: 1\r\n\r\nbody\r\n";
  const StampedHead stamped = StampMessage(in, "F: v\r\n");
  EXPECT_EQ(stamped.head, "From x Thu\r\nF: v\r\nA: 1\r\n");
  EXPECT_EQ(in.substr(stamped.rest), "\r\nbody\r\n");
}

TEST(MessageLineEndTest, TheFirstLineDecides) {
  EXPECT_EQ(MessageLineEnd("A: 1\r\nB: 2\n"), "\r\n");
  EXPECT_EQ(MessageLineEnd("A: 1\nB: 2\r\n"), "\n");
  EXPECT_EQ(MessageLineEnd("\r\n"), "\r\n");
  EXPECT_EQ(MessageLineEnd("\n"), "\n");
  EXPECT_EQ(MessageLineEnd("one line"), "\n");
  EXPECT_EQ(MessageLineEnd(""), "\n");
}

TEST(FormatHeaderFieldTest, PlainTextStaysReadable) {
  EXPECT_EQ(FormatHeaderField("X-Quorvel-Verdict", "spam", "\n"), "X-Quorvel-Verdict: spam\n");
  EXPECT_EQ(FormatHeaderField("X-Quorvel-Reason", "Sender's domain is in Black List", "\r\n"),
            "X-Quorvel-Reason: Sender's domain is in Black List\r\n");
  // A line break or another control character inside the value cannot end the field.
  EXPECT_EQ(FormatHeaderField("X-A", "one\r\nX-Spam-Flag: NO\t\x01", "\n"),
            "X-A: one  X-Spam-Flag: NO\n");
}

// What a reader of the header gets back: the value, decoded by the MIME parser.
TEST(FormatHeaderFieldTest, LongAndNonAsciiValuesAreFoldedAndEncodedAndReadBack) {
  ASSERT_TRUE(platform::SetCodePageForTesting(1252));
  const std::string value =
      "Sender's address matches with one of the Black List wilcdards: *@b\xc3\xbc"
      "ro.example, and then some more words to go well past the length of one line";
  for (std::string_view lineEnd : {"\n", "\r\n"}) {
    const std::string field = FormatHeaderField("Subject", value, lineEnd);
    std::size_t lines = 0;
    for (std::size_t start = 0; start < field.size(); ++lines) {
      const std::size_t end = field.find(lineEnd, start);
      ASSERT_NE(end, std::string::npos) << field;
      EXPECT_LE(end - start, 78u) << field;
      // Every LF comes with the line end asked for.
      EXPECT_EQ(field.substr(start, end - start).find('\n'), std::string::npos) << field;
      start = end + lineEnd.size();
    }
    EXPECT_GT(lines, 1u) << field;
    EXPECT_EQ(field.find("\xc3\xbc"), std::string::npos) << "8-bit text in a header: " << field;
    const MimeMessage parsed = ParseMime(field + std::string(lineEnd) + "body");
    EXPECT_EQ(platform::AnsiToUtf8(parsed.subject), value);
  }
}

}  // namespace
}  // namespace quorvel::mapi
