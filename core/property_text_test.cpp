#include "core/property_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/html_text.h"
#include "core/rtf_html.h"
#include "mapi/html_encapsulation.h"

namespace quorvel {
namespace {

// A read-only stream that records the size of every read asked of it and can fail the
// n-th read.
class RecordingStream final : public mapi::Stream {
 public:
  explicit RecordingStream(std::string bytes, int failingRead = -1)
      : bytes_(std::move(bytes)), failingRead_(failingRead) {}

  mapi::HRESULT Read(void* buffer, std::size_t size, std::size_t* read) override {
    asked.push_back(size);
    if (static_cast<int>(asked.size()) - 1 == failingRead_) {
      *read = 0;
      return mapi::MAPI_E_DISK_ERROR;
    }
    std::size_t n = std::min(size, bytes_.size() - position_);
    std::memcpy(buffer, bytes_.data() + position_, n);
    position_ += n;
    *read = n;
    return mapi::S_OK;
  }
  mapi::HRESULT Write(const void*, std::size_t, std::size_t*) override {
    return mapi::MAPI_E_NO_ACCESS;
  }
  mapi::HRESULT Seek(std::int64_t, mapi::SeekOrigin, std::uint64_t*) override {
    return mapi::MAPI_E_NO_SUPPORT;
  }
  mapi::HRESULT SetSize(std::uint64_t) override { return mapi::MAPI_E_NO_ACCESS; }
  mapi::HRESULT Commit(std::uint32_t) override { return mapi::MAPI_E_NO_ACCESS; }
  mapi::Result<std::uint64_t> Stat() override { return mapi::Ok<std::uint64_t>(bytes_.size()); }

  std::vector<std::size_t> asked;

 private:
  std::string bytes_;
  std::size_t position_ = 0;
  int failingRead_;
};

std::string Bytes(std::size_t n) {
  std::string s(n, '\0');
  for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>('a' + i % 26);
  return s;
}

TEST(ReadWholeStream, BufferDoublesWhileAReadFillsIt) {
  struct Case {
    std::size_t size;
    int failingRead;
    std::vector<std::size_t> asked;
    std::size_t expectedSize;
  };
  const Case cases[] = {
      {0, -1, {16384}, 0},
      {100, -1, {16384}, 100},
      // Exactly one buffer: a second, empty read into a 32768-byte buffer.
      {16384, -1, {16384, 16384}, 16384},
      {16385, -1, {16384, 16384}, 16385},
      {100000, -1, {16384, 16384, 32768, 65536}, 100000},
      {131072, -1, {16384, 16384, 32768, 65536, 131072}, 131072},
      // A failed read counts as the end.
      {50000, 0, {16384}, 0},
      {50000, 1, {16384, 16384}, 16384},
  };
  for (const Case& c : cases) {
    const std::string content = Bytes(c.size);
    RecordingStream stream(content, c.failingRead);
    std::string text = ReadWholeStream(stream);
    EXPECT_EQ(stream.asked, c.asked) << c.size;
    ASSERT_EQ(text.size(), c.expectedSize) << c.size;
    EXPECT_EQ(text, content.substr(0, c.expectedSize)) << c.size;
  }
}

std::string RoundTrip(std::string_view html) {
  std::string rtf = mapi::EncapsulateHtml(html);
  rtf.resize(Deencapsulate(rtf.data(), rtf.size()));
  return rtf;
}

TEST(Deencapsulate, GivesBackTheHtmlThatWasEncapsulated) {
  EXPECT_EQ(RoundTrip("text before the first tag <p>is lost"), "<p>is lost");
  const char* const documents[] = {
      "<html><body>Hello</body></html>",
      "<!DOCTYPE html><html><head><style>p{color:red}</style></head>"
      "<body><p class=\"x\">caf\xe9 {braces} C:\\dir\\file</p></body></html>",
      "<html><body><a href=\"http://x/?a=1&amp;b=2\">link</a>"
      "<img src=\"cid:part1.0001@x\"><!-- comment --></body></html>",
      "<P>no html element at all",
      "<b>text</b> < not a tag > and \\par written out",
  };
  for (const char* html : documents) EXPECT_EQ(RoundTrip(html), html);
}

struct BodyCase {
  const char* what;
  std::string rtf;
  std::string text;
};

TEST(BodyTextFromRtf, Cases) {
  const BodyCase cases[] = {
      {"ordinary RTF has no HTML", mapi::PlainTextToRtf("Hello\r\nworld"), ""},
      {"lower-case body", mapi::EncapsulateHtml("<html><body>Hi there</body></html>"), " Hi there"},
      {"body in capitals is wrapped; the text is the same",
       mapi::EncapsulateHtml("<HTML><BODY>Hi there</BODY></HTML>"), " Hi there"},
      {"no body element: wrapped", mapi::EncapsulateHtml("<p>Hi<br>there"), " \n\nHi\nthere"},
      {"unclosed body", mapi::EncapsulateHtml("<html><body>Hi"), "arbr4cd0"},
      {"images and links",
       mapi::EncapsulateHtml("<html><body><a href=\"http://Spam.example\"><img "
                             "src=\"cid:1\"></a><img src=\"http://t/p.gif\"> Buy "
                             "<a href=\"http://shop\">now</a></body></html>"),
       // the body's blank, then " http://spam.example " blanked
       std::string(1 + 21, ' ') + " arbr1cd0 arbr2cd0 Buy http://shop now"},
      {"line breaks in the HTML text become blanks",
       mapi::EncapsulateHtml("<html><body>one\r\ntwo\tthree</body></html>"), " one two three"},
  };
  for (const BodyCase& c : cases) EXPECT_EQ(BodyTextFromRtf(c.rtf), c.text) << c.what;
}

}  // namespace
}  // namespace quorvel
