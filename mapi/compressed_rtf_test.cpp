#include "mapi/compressed_rtf.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "mapi/entry_id.h"
#include "mapi/html_encapsulation.h"

namespace quorvel::mapi {
namespace {

std::string Bytes(std::string_view hex) {
  std::string clean;
  for (char c : hex) {
    if (c != ' ') clean.push_back(c);
  }
  return *HexToBytes(clean);
}

// The two worked examples of the published format description.
const std::string kSimpleExample = Bytes(
    "2d000000 2b000000 4c5a4675 f1c5c7a7 03000a00 72637067 31323542 320af320 68656c09"
    "00206277 05b06c64 7d0a800f a0");
const std::string kRepetitionExample =
    Bytes("1a000000 1c000000 4c5a4675 e2d44b51 41000420 5758595a 0d6e7d01 0eb0");

TEST(CompressedRtfTest, PublishedExamplesDecodeToTheirTexts) {
  auto simple = DecompressRtf(kSimpleExample);
  ASSERT_EQ(simple.hr, S_OK);
  EXPECT_EQ(*simple, "{\\rtf1\\ansi\\ansicpg1252\\pard hello world}\r\n");
  // A reference that overlaps the bytes it produces repeats them.
  auto repeated = DecompressRtf(kRepetitionExample);
  ASSERT_EQ(repeated.hr, S_OK);
  EXPECT_EQ(*repeated, "{\\rtf1 WXYZWXYZWXYZWXYZWXYZ}");
}

TEST(CompressedRtfTest, CrcOfThePublishedExampleMatchesItsHeader) {
  EXPECT_EQ(RtfCrc(std::string_view(kSimpleExample).substr(16)), 0xA7C7C5F1u);
}

TEST(CompressedRtfTest, UncompressedFormIsReadAsItStands) {
  std::string rtf = "{\\rtf1 plain}";
  std::string stored = WrapUncompressedRtf(rtf);
  EXPECT_EQ(stored.substr(8, 4), "MELA");
  auto back = DecompressRtf(stored);
  ASSERT_TRUE(back.ok());
  EXPECT_EQ(*back, rtf);
}

TEST(CompressedRtfTest, EncoderOutputDecodesBackForRealShapedBodies) {
  const std::string bodies[] = {
      "",
      "{",
      "{\\rtf1\\ansi\\ansicpg1252\\pard hello world}\r\n",
      EncapsulateHtml("<html><body><p>Caf\xE9 {menu} \\ today</p>\r\n<img src=\"x.png\">"
                      "</body></html>"),
      PlainTextToRtf("Line one\r\nLine two\twith tab\r\n\r\nEnd"),
      std::string(5000, 'a'),
      std::string(70000, '\0'),
  };
  for (const auto& rtf : bodies) {
    std::string packed = CompressRtf(rtf);
    auto back = DecompressRtf(packed);
    ASSERT_EQ(back.hr, S_OK) << rtf.substr(0, 40);
    EXPECT_EQ(*back, rtf);
  }
  // Repetitive RTF compresses well.
  EXPECT_LT(CompressRtf(std::string(5000, 'a')).size(), 1000u);
}

TEST(CompressedRtfTest, EncoderOutputDecodesBackForRandomInput) {
  std::mt19937 random(12345);
  for (int round = 0; round < 200; ++round) {
    std::size_t size = random() % 9000;
    int alphabet = 1 + static_cast<int>(random() % 256);
    std::string text(size, '\0');
    for (auto& c : text) c = static_cast<char>(random() % alphabet);
    auto back = DecompressRtf(CompressRtf(text));
    ASSERT_EQ(back.hr, S_OK) << "round " << round;
    ASSERT_EQ(*back, text) << "round " << round;
  }
}

// Every damaged form is an error result: no crash, no endless loop, no huge buffer.
TEST(CompressedRtfTest, DamagedInputIsAnError) {
  std::string good = CompressRtf(PlainTextToRtf("some text that is long enough to matter"));
  struct Case {
    const char* what;
    std::string data;
    HRESULT expected;
  };
  auto withByte = [&](std::size_t at, char value) {
    std::string d = good;
    d[at] = value;
    return d;
  };
  auto withLe32 = [&](std::size_t at, std::uint32_t v) {
    std::string d = good;
    for (int k = 0; k < 4; ++k) d[at + k] = static_cast<char>((v >> (8 * k)) & 0xFF);
    return d;
  };
  const Case cases[] = {
      {"empty", "", MAPI_E_CORRUPT_DATA},
      {"short header", good.substr(0, 15), MAPI_E_CORRUPT_DATA},
      {"truncated contents", good.substr(0, good.size() - 3), MAPI_E_CORRUPT_DATA},
      {"unknown magic", withByte(8, 'X'), MAPI_E_CORRUPT_DATA},
      {"flipped content byte", withByte(20, static_cast<char>(good[20] ^ 0x40)),
       MAPI_E_CORRUPT_DATA},
      {"wrong crc", withLe32(12, 0x12345678), MAPI_E_CORRUPT_DATA},
      {"raw size too small", withLe32(4, 3), MAPI_E_CORRUPT_DATA},
      {"raw size too large", withLe32(4, 100000), MAPI_E_CORRUPT_DATA},
      {"raw size absurd", withLe32(4, 0xFFFFFFF0u), MAPI_E_TOO_BIG},
      {"comp size beyond data", withLe32(0, 0x7FFFFFFF), MAPI_E_CORRUPT_DATA},
      {"comp size below header", withLe32(0, 2), MAPI_E_CORRUPT_DATA},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DecompressRtf(c.data).hr, c.expected) << c.what;
  }
}

TEST(CompressedRtfTest, ContentsWithoutEndReferenceAreAnError) {
  // One control byte of literals only and a valid CRC, but no end reference.
  std::string body = std::string("\0abcdefgh", 9);
  std::string data(16, '\0');
  auto put = [&](std::size_t at, std::uint32_t v) {
    for (int k = 0; k < 4; ++k) data[at + k] = static_cast<char>((v >> (8 * k)) & 0xFF);
  };
  put(0, static_cast<std::uint32_t>(body.size() + 12));
  put(4, 8);
  put(8, kRtfMagicCompressed);
  put(12, RtfCrc(body));
  data += body;
  EXPECT_EQ(DecompressRtf(data).hr, MAPI_E_CORRUPT_DATA);
}

TEST(CompressedRtfTest, RandomGarbageNeverCrashes) {
  std::mt19937 random(7);
  std::string good = CompressRtf(EncapsulateHtml("<p>hello</p>"));
  for (int round = 0; round < 2000; ++round) {
    std::string d = good;
    int flips = 1 + static_cast<int>(random() % 4);
    for (int k = 0; k < flips; ++k) d[random() % d.size()] = static_cast<char>(random());
    if (round % 3 == 0) d.resize(random() % (d.size() + 1));
    if (round % 2 == 0 && d.size() >= 16) {
      // A matching CRC, so that the damage reaches the expansion itself.
      std::uint32_t crc = RtfCrc(std::string_view(d).substr(16));
      for (int k = 0; k < 4; ++k) d[12 + k] = static_cast<char>((crc >> (8 * k)) & 0xFF);
    }
    auto result = DecompressRtf(d);  // must return, whatever it says
    if (result.ok()) {
      EXPECT_LE(result->size(), 9 * d.size() + 17);
    }
  }
}

TEST(CompressedRtfTest, WrappedStreamReadsTheRtfAndFailsOnDamage) {
  std::string rtf = PlainTextToRtf("body");
  auto stored = std::make_shared<MemoryStream>(CompressRtf(rtf));
  auto wrapped = WrapCompressedRTFStream(stored, 0);
  ASSERT_TRUE(wrapped.ok());
  auto text = ReadAll(**wrapped);
  ASSERT_TRUE(text.ok());
  EXPECT_EQ(*text, rtf);

  auto damaged = std::make_shared<MemoryStream>(CompressRtf(rtf).substr(0, 20));
  EXPECT_EQ(WrapCompressedRTFStream(damaged, 0).hr, MAPI_E_CORRUPT_DATA);
}

TEST(CompressedRtfTest, WritableWrapperCompressesOnCommit) {
  std::string committed;
  auto target = std::make_shared<MemoryStream>(std::string(), [&](const std::string& bytes) {
    committed = bytes;
    return S_OK;
  });
  for (std::uint32_t flags : {MAPI_MODIFY, MAPI_MODIFY | STORE_UNCOMPRESSED_RTF}) {
    auto wrapped = WrapCompressedRTFStream(target, flags);
    ASSERT_TRUE(wrapped.ok());
    std::string rtf = "{\\rtf1 written}";
    std::size_t written = 0;
    ASSERT_EQ((*wrapped)->Write(rtf.data(), rtf.size(), &written), S_OK);
    ASSERT_EQ((*wrapped)->Commit(0), S_OK);
    EXPECT_EQ(committed.substr(8, 4), (flags & STORE_UNCOMPRESSED_RTF) ? "MELA" : "LZFu");
    auto back = DecompressRtf(committed);
    ASSERT_TRUE(back.ok());
    EXPECT_EQ(*back, rtf);
  }
}

}  // namespace
}  // namespace quorvel::mapi
