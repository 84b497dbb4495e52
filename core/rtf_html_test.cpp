#include "core/rtf_html.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <string_view>

namespace quorvel {
namespace {

// Runs the de-encapsulation on a heap buffer of exactly length + 1 bytes, so that the
// sanitizer build catches any read or write outside it.
std::string Html(std::string_view rtf) {
  std::unique_ptr<char[]> buffer(new char[rtf.size() + 1]);
  std::memcpy(buffer.get(), rtf.data(), rtf.size());
  buffer[rtf.size()] = '\0';
  std::size_t n = Deencapsulate(buffer.get(), rtf.size());
  EXPECT_LE(n, rtf.size());
  EXPECT_EQ(buffer[n], '\0');
  return std::string(buffer.get(), n);
}

struct Case {
  const char* what;
  std::string_view rtf;
  std::string_view html;
};

const Case kCases[] = {
    {"ordinary RTF holds no HTML", R"({\rtf1\ansi\par Hello})", ""},
    {"nothing before the first htmltag is used", R"({\rtf1\fromhtml1 junk{\*\htmltag64 <html>}})",
     "<html>"},
    {"tags, text and paragraph breaks",
     "{\\rtf1\\ansi\\fromhtml1 {\\*\\htmltag64 <html>}\\par {\\*\\htmltag72 <body>}Hello"
     "{\\*\\htmltag80 </body>}}",
     "<html> <body>Hello</body>"},
    {"braces, carriage returns and line feeds of the RTF are dropped",
     "{\\*\\htmltag1 <p>}{a\r\nb}", "<p>ab"},
    {"escaped braces are written", R"({\*\htmltag1 x}\{y\})", "x{y}"},
    {"an escaped backslash is one backslash", R"({\*\htmltag1 C:\\dir\\par})", "C:\\dir\\par"},
    {"hex escape", R"({\*\htmltag1 caf\'e9})", "caf\xe9"},
    {"hex escape in capitals", R"({\*\htmltag1 \'4A})", "J"},
    {"hex letters that are not digits count as 0", R"({\*\htmltag1 \'zz})",
     std::string_view("\0", 1)},
    {"one bad hex digit", R"({\*\htmltag1 \'4z})", "@"},
    {"tab gives a blank and eats one blank", R"({\*\htmltag1 a\tab  b})", "a  b"},
    {"par gives a blank", R"({\*\htmltag1 a\par b})", "a b"},
    {"pard gives a blank and the d stays", R"({\*\htmltag1 a\pard b})", "a d b"},
    {"indents are skipped with their numbers", R"({\*\htmltag1 \li720 \fi-360 text})", "text"},
    {"an indent without a blank after it", R"({\*\htmltag1 \li720\fi-360\par x})", " x"},
    {"pntext groups are dropped", R"({\*\htmltag1 a{\pntext\f1 \'b7\tab}b})", "ab"},
    {"pntext at the end of an unclosed group", R"({\*\htmltag1 a{\pntext\f1 xyz)", "a"},
    {"htmlrtf sections are dropped", R"({\*\htmltag1 a}\htmlrtf {\b bold}\htmlrtf0 b)", "ab"},
    {"htmlrtf without its end drops the rest", R"({\*\htmltag1 a}\htmlrtf {\b bold})", "a"},
    {"a stray htmlrtf0 ends itself", R"({\*\htmltag1 a}\htmlrtf0 b)", "ab"},
    {"an unknown control word keeps its backslash", R"({\*\htmltag1 \b bold})", "\\b bold"},
    {"reading starts at the first htmltag, not at an alternative",
     R"({\*\mhtmltag5 <a href=x>}{\*\htmltag5 <a href=y>}x)", "<a href=y>x"},
    {"the later tag is used",
     R"({\*\htmltag1 <p>}{\*\mhtmltag5 <a href=x>}{\*\htmltag5 <a href=y>}x)", "<p><a href=y>x"},
    {"an alternative without a later tag is used", R"({\*\htmltag1 <p>}{\*\mhtmltag5 <a href=x>}x)",
     "<p><a href=x>x"},
    {"a later tag of another number does not count",
     R"({\*\htmltag1 <p>}{\*\mhtmltag5 <a href=x>}{\*\htmltag55 <b>})", "<p><a href=x><b>"},
    {"an earlier tag of the same number does not count",
     R"({\*\htmltag5 <p>}{\*\mhtmltag5 <a href=x>})", "<p><a href=x>"},
    {"numbers compare by value", R"({\*\htmltag1 <p>}{\*\mhtmltag05 m}{\*\htmltag5 t})", "<p>t"},
    {"a lone backslash at the end", R"({\*\htmltag1 a\)", "a"},
    {"hex escape cut by the end", R"({\*\htmltag1 a\'4)", "a@"},
    {"hex escape with no digits at the end", R"({\*\htmltag1 a\')", std::string_view("a\0", 2)},
    {"tag number cut by the end", R"(\*\htmltag12)", ""},
    {"control word cut by the end", R"(\*\htmltag1 x\htmlrt)", "x\\htmlrt"},
};

TEST(Deencapsulate, Table) {
  for (const Case& c : kCases) {
    EXPECT_EQ(Html(c.rtf), std::string(c.html)) << c.what;
  }
}

TEST(Deencapsulate, EmptyInput) { EXPECT_EQ(Html(""), ""); }

TEST(Deencapsulate, ManyAlternativeGroupsEachFindTheirLaterTag) {
  std::string rtf = R"({\*\htmltag0 <p>})";
  std::string expected = "<p>";
  for (int i = 1; i <= 500; ++i) {
    std::string n = std::to_string(i);
    if (i % 2 == 0) {  // even numbers get a later tag
      rtf += "{\\*\\mhtmltag" + n + " m" + n + "}{\\*\\htmltag" + n + " t" + n + "}";
      expected += "t" + n;
    } else {
      rtf += "{\\*\\mhtmltag" + n + " m" + n + "}";
      expected += "m" + n;
    }
  }
  EXPECT_EQ(Html(rtf), expected);
}

TEST(Deencapsulate, EveryTruncationOfARealShapedBodyIsSafe) {
  const std::string rtf =
      "{\\rtf1\\ansi\\ansicpg1252\\fromhtml1 \\deff0{\\fonttbl{\\f0\\fswiss Arial;}}\r\n"
      "{\\*\\htmltag19 <html>}\r\n{\\*\\htmltag34 <head>}\\htmlrtf {\\htmlrtf0 \r\n"
      "{\\*\\mhtmltag84 <a href=\"http://x\">}{\\*\\htmltag84 <a href=\"http://x\">}\r\n"
      "\\htmlrtf {\\field{\\*\\fldinst{HYPERLINK \"http://x\"}}{\\fldrslt\\cf1\\ul "
      "\\htmlrtf0 Caf\\'e9 \\{x\\}\\htmlrtf }\\htmlrtf0 \\htmlrtf }\\htmlrtf0 \r\n"
      "{\\*\\htmltag92 </a>}\\par {\\pntext\\'b7\\tab}\\li720\\fi-360 item\\par\r\n"
      "{\\*\\htmltag58 </body>}\r\n{\\*\\htmltag27 </html>}}";
  const std::string whole = Html(rtf);
  EXPECT_NE(whole.find("<a href=\"http://x\">"), std::string::npos);
  EXPECT_NE(whole.find("Caf\xe9 {x}"), std::string::npos);
  for (std::size_t n = 0; n <= rtf.size(); ++n) Html(std::string_view(rtf).substr(0, n));
}

TEST(Deencapsulate, RandomBytesNeverOverrun) {
  std::mt19937 random(20240611);
  const std::string_view alphabet = "\\{}'*htmlrtfagpnexd0123456789 \r\n";
  for (int round = 0; round < 2000; ++round) {
    std::string rtf = "\\*\\htmltag1 ";
    std::size_t size = random() % 200;
    for (std::size_t i = 0; i < size; ++i) {
      rtf += (random() % 4 == 0) ? static_cast<char>(random() % 256)
                                 : alphabet[random() % alphabet.size()];
    }
    Html(rtf);
  }
}

}  // namespace
}  // namespace quorvel
