#include "mapi/vcard/vcard_reader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/code_page.h"

namespace quorvel::mapi::vcard {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

struct VersionCase {
  const char* what;
  const char* text;
  const char* version;
  const char* name;
  std::vector<std::string> emails;
};

class VCardVersions : public ::testing::TestWithParam<VersionCase> {};

TEST_P(VCardVersions, ReadsNameAndEveryAddress) {
  const VersionCase& c = GetParam();
  auto cards = ReadVCards(c.text);
  ASSERT_EQ(cards.size(), 1u) << c.what;
  EXPECT_EQ(cards[0].version, c.version);
  EXPECT_EQ(cards[0].displayName, c.name);
  EXPECT_EQ(cards[0].emails, c.emails);
}

INSTANTIATE_TEST_SUITE_P(
    Cards, VCardVersions,
    ::testing::Values(
        VersionCase{"2.1 with bare type parameters",
                    "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Smith;John\r\nFN:John Smith\r\n"
                    "EMAIL;PREF;INTERNET:john@example.org\r\nEMAIL;INTERNET:js@work.example\r\n"
                    "END:VCARD\r\n",
                    "2.1",
                    "John Smith",
                    {"john@example.org", "js@work.example"}},
        VersionCase{"3.0 with TYPE lists and a group",
                    "BEGIN:VCARD\nVERSION:3.0\nFN:Anna Berg\n"
                    "item1.EMAIL;TYPE=INTERNET,pref:anna@example.org\nEND:VCARD\n",
                    "3.0",
                    "Anna Berg",
                    {"anna@example.org"}},
        VersionCase{"4.0 with a quoted parameter holding a colon",
                    "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Li Wei\r\n"
                    "EMAIL;TYPE=\"work,x:y\";PREF=1:li@example.cn\r\nEND:VCARD\r\n",
                    "4.0",
                    "Li Wei",
                    {"li@example.cn"}},
        VersionCase{"folded FN and a folded address",
                    "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Maria del\r\n  Carmen\r\n"
                    "EMAIL:maria.carmen@exa\r\n\tmple.org\r\nEND:VCARD\r\n",
                    "3.0",
                    "Maria del Carmen",
                    {"maria.carmen@example.org"}},
        VersionCase{"no FN: given and family name from N",
                    "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Doe;Jane;;Dr.;\r\nEMAIL:jane@doe.example\r\n"
                    "END:VCARD\r\n",
                    "3.0",
                    "Jane Doe",
                    {"jane@doe.example"}},
        VersionCase{"escaped comma in FN, mailto: address",
                    "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Smith\\, John\r\n"
                    "EMAIL:mailto:john@example.org\r\nEND:VCARD\r\n",
                    "4.0",
                    "Smith, John",
                    {"john@example.org"}}),
    [](const ::testing::TestParamInfo<VersionCase>& param) {
      return "Case" + std::to_string(param.index);
    });

TEST(VCardReaderTest, QuotedPrintableWithSoftBreaksAndCharset) {
  ASSERT_TRUE(platform::SetCodePageForTesting(1252));
  const char* text =
      "BEGIN:VCARD\r\nVERSION:2.1\r\n"
      "FN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:J=C3=BCrgen M=C3=BC=\r\nller\r\n"
      "EMAIL;INTERNET:juergen@example.de\r\nEND:VCARD\r\n"
      "BEGIN:VCARD\r\nVERSION:2.1\r\n"
      "FN;CHARSET=ISO-8859-1;QUOTED-PRINTABLE:Ren=E9\r\nEMAIL:rene@example.fr\r\nEND:VCARD\r\n";
  auto cards = ReadVCards(text);
  ASSERT_EQ(cards.size(), 2u);
  EXPECT_EQ(cards[0].displayName, "J\xFCrgen M\xFCller");
  EXPECT_EQ(cards[1].displayName, "Ren\xE9");
}

TEST(VCardReaderTest, WrongCharsetsFallBackWithoutLosingTheCard) {
  ASSERT_TRUE(platform::SetCodePageForTesting(1252));
  // Latin-1 bytes declared as UTF-8, UTF-8 bytes under a charset nobody knows, and
  // Latin-1 bytes in a 3.0 card (which must be UTF-8).
  const char* text =
      "BEGIN:VCARD\nVERSION:2.1\nFN;CHARSET=UTF-8:Andr\xE9\nEMAIL:a@example.org\nEND:VCARD\n"
      "BEGIN:VCARD\nVERSION:3.0\nFN;CHARSET=x-no-such:Zo\xC3\xAB\nEMAIL:z@example.org\nEND:VCARD\n"
      "BEGIN:VCARD\nVERSION:3.0\nFN:G\xF6ran\nEMAIL:g@example.org\nEND:VCARD\n";
  auto cards = ReadVCards(text);
  ASSERT_EQ(cards.size(), 3u);
  EXPECT_EQ(cards[0].displayName, "Andr\xE9");
  EXPECT_EQ(cards[1].displayName, "Zo\xEB");
  EXPECT_EQ(cards[2].displayName, "G\xF6ran");
  EXPECT_THAT(cards[2].emails, ElementsAre("g@example.org"));
}

TEST(VCardReaderTest, BinaryPhotoIsSkippedInEveryForm) {
  std::string photo;
  for (int i = 0; i < 4096; ++i) photo.push_back(static_cast<char>((i * 37) & 0xFF));
  // 2.1: base64 lines without their blank (broken folding), ending in a blank line;
  // 3.0: folded base64; 4.0: a data: URI; and raw bytes as some exporters write them.
  std::string text =
      "BEGIN:VCARD\r\nVERSION:2.1\r\nFN:One\r\nPHOTO;ENCODING=BASE64;TYPE=JPEG:\r\n"
      "/9j/4AAQSkZJRgABAQEASABIAAD\r\nAAQSkZJRgABAQEASABIAAD/2wBD\r\n\r\n"
      "EMAIL:one@example.org\r\nEND:VCARD\r\n"
      "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Two\r\nPHOTO;ENCODING=b;TYPE=JPEG:/9j/4AAQ\r\n"
      " SkZJRgABAQEASABIAAD\r\nEMAIL:two@example.org\r\nEND:VCARD\r\n"
      "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Three\r\nPHOTO:data:image/jpeg;base64,/9j/4AAQ\r\n"
      "EMAIL:three@example.org\r\nEND:VCARD\r\n"
      "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Four\r\nPHOTO;TYPE=JPEG:" +
      photo + "\r\nEMAIL:four@example.org\r\nEND:VCARD\r\n";
  auto cards = ReadVCards(text);
  ASSERT_GE(cards.size(), 4u);
  EXPECT_THAT(cards[0].emails, ElementsAre("one@example.org"));
  EXPECT_THAT(cards[1].emails, ElementsAre("two@example.org"));
  EXPECT_THAT(cards[2].emails, ElementsAre("three@example.org"));
  EXPECT_EQ(cards[3].displayName, "Four");
  EXPECT_THAT(cards[3].emails, ElementsAre("four@example.org"));
}

TEST(VCardReaderTest, CardWithoutEmailIsKeptWithItsName) {
  auto cards = ReadVCards("BEGIN:VCARD\nVERSION:3.0\nFN:Nobody\nTEL:+1 555\nEND:VCARD\n");
  ASSERT_EQ(cards.size(), 1u);
  EXPECT_EQ(cards[0].displayName, "Nobody");
  EXPECT_THAT(cards[0].emails, IsEmpty());
}

TEST(VCardReaderTest, TenThousandAddressesAreCappedAndCounted) {
  std::string text = "BEGIN:VCARD\nVERSION:3.0\nFN:Many\n";
  for (int i = 0; i < 10000; ++i) text += "EMAIL:user" + std::to_string(i) + "@example.org\n";
  text += "END:VCARD\n";
  auto cards = ReadVCards(text);
  ASSERT_EQ(cards.size(), 1u);
  EXPECT_EQ(cards[0].emails.size(), kMaxEmailsPerCard);
  EXPECT_EQ(cards[0].emails.front(), "user0@example.org");
  EXPECT_EQ(cards[0].emailsDropped, 10000 - kMaxEmailsPerCard);
}

TEST(VCardReaderTest, DamagedStructureStillYieldsWhatCanBeRead) {
  // A card that never ends is ended by the next BEGIN and by the end of the file;
  // lines outside a card and lines without a name are ignored; an embedded AGENT card
  // does not lend its address to the card around it.
  const char* text =
      "EMAIL:stray@example.org\n"
      "BEGIN:VCARD\nVERSION:3.0\nFN:Open\nEMAIL:open@example.org\n"
      "BEGIN:VCARD\nVERSION:2.1\nFN:Boss\nAGENT:BEGIN:VCARD\nFN:Agent\nEMAIL:agent@example.org\n"
      "END:VCARD\nEMAIL:boss@example.org\nEND:VCARD\n"
      ":no name\n"
      "BEGIN:VCARD\nFN:Last\nEMAIL:last@example.org";
  auto cards = ReadVCards(text);
  ASSERT_EQ(cards.size(), 3u);
  EXPECT_THAT(cards[0].emails, ElementsAre("open@example.org"));
  EXPECT_EQ(cards[1].displayName, "Boss");
  EXPECT_THAT(cards[1].emails, ElementsAre("boss@example.org"));
  EXPECT_EQ(cards[2].version, "");
  EXPECT_THAT(cards[2].emails, ElementsAre("last@example.org"));
}

TEST(VCardReaderTest, OverlongAndBlankAddressesAreDropped) {
  std::string text = "BEGIN:VCARD\nFN:X\nEMAIL:  \nEMAIL:" + std::string(400, 'a') +
                     "@example.org\nEMAIL: ok@example.org \nEND:VCARD\n";
  auto cards = ReadVCards(text);
  ASSERT_EQ(cards.size(), 1u);
  EXPECT_THAT(cards[0].emails, ElementsAre("ok@example.org"));
}

TEST(VCardReaderTest, QuotedPrintableKeepsMalformedEscapes) {
  EXPECT_EQ(DecodeQuotedPrintable("a=3Db=ZZc=4"), "a=b=ZZc=4");
  EXPECT_EQ(DecodeQuotedPrintable("soft=\r\nbreak"), "softbreak");
  EXPECT_EQ(UnescapeText("a\\nb\\;c\\\\"), "a\nb;c\\");
}

TEST(VCardReaderTest, ContentLineNamesAndParameters) {
  ContentLine line;
  ASSERT_TRUE(ParseContentLine("home.email;type=INTERNET;PREF:x@y", &line));
  EXPECT_EQ(line.name, "EMAIL");
  ASSERT_EQ(line.params.size(), 2u);
  EXPECT_EQ(line.params[0].first, "TYPE");
  EXPECT_EQ(line.params[0].second, "INTERNET");
  EXPECT_EQ(line.params[1].first, "");
  EXPECT_EQ(line.value, "x@y");
  EXPECT_FALSE(ParseContentLine("no colon here", &line));
  EXPECT_FALSE(ParseContentLine(";X=1:value", &line));
}

}  // namespace
}  // namespace quorvel::mapi::vcard
