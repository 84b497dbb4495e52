#include "mapi/html_encapsulation.h"

#include <gtest/gtest.h>

namespace quorvel::mapi {
namespace {

// The part after the header: everything from the first tag group on.
std::string BodyOf(const std::string& rtf) {
  auto start = rtf.find("{\\*\\htmltag");
  return start == std::string::npos ? std::string() : rtf.substr(start);
}

TEST(HtmlEncapsulationTest, MarkupInGroupsTextAsPlainRuns) {
  struct Case {
    const char* html;
    const char* body;
  };
  const Case cases[] = {
      {"<p>Hi</p>", "{\\*\\htmltag64 <p>}Hi{\\*\\htmltag72 </p>}}\r\n"},
      {"<!-- c --><b>x</b>",
       "{\\*\\htmltag241 <!-- c -->}{\\*\\htmltag64 <b>}x{\\*\\htmltag72 </b>}}\r\n"},
      // Braces, backslashes, tabs and bytes from 0x80 are escaped; line breaks are \par.
      {"<i>{a}\\b\tc\xE9\r\nd\ne</i>",
       "{\\*\\htmltag64 <i>}\\{a\\}\\\\b\\tab c\\'e9\\par d\\par e{\\*\\htmltag72 </i>}}\r\n"},
      // A ">" inside a quoted attribute does not end the tag.
      {"<a title=\"1>2\">t</a>", "{\\*\\htmltag64 <a title=\"1>2\">}t{\\*\\htmltag72 </a>}}\r\n"},
      // An unterminated tag runs to the end.
      {"<p>x<img src=", "{\\*\\htmltag64 <p>}x{\\*\\htmltag64 <img src=}}\r\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(BodyOf(EncapsulateHtml(c.html)), c.body) << c.html;
  }
}

TEST(HtmlEncapsulationTest, HeaderMarksTheBodyAsHtml) {
  std::string rtf = EncapsulateHtml("<p>x</p>");
  EXPECT_EQ(rtf.rfind("{\\rtf1\\ansi\\ansicpg1252\\fromhtml1 ", 0), 0u);
  EXPECT_EQ(BodyOf(EncapsulateHtml("only text")), "");  // no markup, no tag group
}

TEST(HtmlEncapsulationTest, PlainTextRtfHasNoHtml) {
  std::string rtf = PlainTextToRtf("one\r\ntwo {x}\rthree\nfour");
  EXPECT_EQ(rtf.find("htmltag"), std::string::npos);
  EXPECT_EQ(rtf.find("fromhtml"), std::string::npos);
  EXPECT_NE(rtf.find("one\\par two \\{x\\}\\par three\\par four}"), std::string::npos);
}

}  // namespace
}  // namespace quorvel::mapi
