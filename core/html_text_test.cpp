#include "core/html_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <string_view>

namespace quorvel {
namespace {

// Converts on a heap buffer of exactly length + 1 bytes, so that the sanitizer build
// catches any read or write outside it.
std::string Text(std::string_view html) {
  std::unique_ptr<char[]> buffer(new char[html.size() + 1]);
  std::memcpy(buffer.get(), html.data(), html.size());
  buffer[html.size()] = '\0';
  std::size_t n = HtmlToText(buffer.get(), html.size());
  EXPECT_LE(n, html.size());
  EXPECT_EQ(buffer[n], '\0');
  return std::string(buffer.get(), n);
}

std::string Body(std::string_view inner) {
  return "<html><body>" + std::string(inner) + "</body></html>";
}

struct Case {
  const char* what;
  std::string html;
  std::string text;
};

TEST(HtmlToText, Documents) {
  const Case cases[] = {
      {"minimal document", "<html><body>Hello</body></html>", " Hello"},
      {"tags in capitals", "<HTML><BODY>Hello</BODY></HTML>", " Hello"},
      {"body with attributes", "<html><body bgcolor=\"#fff\">Hi</body></html>", " Hi"},
      {"text outside the body is ignored",
       "<html><head><title>T</title></head>junk<body>x</body>tail</html>", " x"},
      {"no closing body", "<html><body>Hello</html>", "arbr4cd0"},
      {"no closing html", "<html><body>Hello</body>", "arbr4cd0"},
      {"no closing html after text", "<html><body>Hello</body>trailing", "arbr4cd0"},
      {"tags but no body", "<html><p>x</p></html>", "arbr4cd0"},
      {"text first, no body", "Hello</html>", ""},
      {"empty input", "", ""},
      {"marker cut to a short input", "<b", "ar"},
      {"plain text only", "Hello world", "arbr4cd0"},
      {"last tag without its >", "<html><body>x</body></html", " x"},
      {"two body elements", "<html><body>a</body><body>b</body></html>", " a b"},
      {"a > in text is text", Body("a > b"), " a > b"},
  };
  for (const Case& c : cases) EXPECT_EQ(Text(c.html), c.text) << c.what;
}

TEST(HtmlToText, BreaksAndWhiteSpace) {
  const Case cases[] = {
      {"paragraph", Body("a<p>b"), " a\n\nb"},
      {"closing paragraph ignored", Body("a<p>b</p>c"), " a\n\nbc"},
      {"pre begins with p", Body("a<pre>b</pre>"), " a\n\nb"},
      {"line break", Body("a<br>b"), " a\nb"},
      {"line break in capitals, self-closed", Body("a<BR/>b"), " a\nb"},
      {"closing div", Body("<div>a</div>b"), " a\nb"},
      {"unknown tags", Body("<b>bold</b> <i>it</i> text"), " boldit text"},
      {"white space at the end of a segment writes nothing", Body("<b>a, </b>b"), " a,b"},
      {"white space collapses, none at the end", Body("  a \t\r\n b  "), "  a b"},
      {"text joined across tags", Body("to<b>get</b>her"), " together"},
  };
  for (const Case& c : cases) EXPECT_EQ(Text(c.html), c.text) << c.what;
}

TEST(HtmlToText, CharacterReferences) {
  const Case cases[] = {
      {"reference between words", Body("Fish &amp; Chips"), " Fish Chips"},
      {"reference joining words", Body("Fish&amp;Chips"), " Fish Chips"},
      {"numeric reference", Body("a&#233;b"), " a b"},
      {"reference at the start", Body("&nbsp;x"), "  x"},
      {"lone ampersand blanks the rest of its segment", Body("AT&T rocks<br>next"), " AT\nnext"},
      {"reference ends at its segment", Body("a &lt<b>c"), " ac"},
  };
  for (const Case& c : cases) EXPECT_EQ(Text(c.html), c.text) << c.what;
}

TEST(HtmlToText, Images) {
  const Case cases[] = {
      {"embedded image outside a link", Body("<img src=\"cid:part1\">"), "  arbr3cd0"},
      {"embedded image in capitals", Body("<IMG SRC=\"CID:part1\">"), "  arbr3cd0"},
      {"internet image outside a link", Body("<img src=\"http://x/y.gif\">"), "  arbr2cd0"},
      {"image without a source", Body("<img alt=\"x\">"), " "},
      {"unquoted source", Body("<img src=cid:1>"), " "},
      {"source cut short", Body("<img src=\"ci\">"), "  arbr2cd0"},
      {"no attributes", Body("<img>"), " "},
      {"line break after the name", Body("<img\nsrc=\"cid:1\">"), " "},
      {"image between words", Body("a <img src=\"cid:1\"> b"), " a arbr3cd0 b"},
  };
  for (const Case& c : cases) EXPECT_EQ(Text(c.html), c.text) << c.what;
}

TEST(HtmlToText, Links) {
  const std::string blanked10(10, ' ');  // where " http://x " was
  const Case cases[] = {
      {"link with text keeps its address", Body("<a href=\"HTTP://Example.COM/X\">Click</a>"),
       "  http://example.com/x Click"},
      {"link around an embedded image", Body("<a href=\"http://x\"><img src=\"cid:1\"></a>"),
       " " + blanked10 + " arbr1cd0"},
      {"link around an internet image", Body("<a href=\"http://x\"><img src=\"http://y\"></a>"),
       " " + blanked10 + " arbr2cd0"},
      {"empty link", Body("<a href=\"http://x\"></a>after"), " " + blanked10 + "after"},
      {"line break alone is no text", Body("<a href=\"http://x\"><br></a>"),
       " " + blanked10 + "\n"},
      {"link without an address", Body("<a name=\"top\">text</a>"), " text"},
      {"address without its closing quote", Body("<a href=\"abc>t</a>"), " t"},
      {"empty address", Body("<a href=\"\">t</a>"), "   t"},
      {"link without attributes is no link", Body("<a>text</a>"), " text"},
      {"line break after the name", Body("<a\nhref=\"x\">t</a>"), " t"},
      {"attributes in capitals", Body("<A HREF=\"X\">t</A>"), "  x t"},
      {"unclosed link runs to the end", Body("<a href=\"x\">text"), "arbr4cd0"},
      {"closing body inside a link is not seen", "<html><body><a href=\"x\">t</body></html>",
       "arbr4cd0"},
      {"paragraph inside a link", Body("<a href=\"x\">a<p>b</a>"), "  x a\n\nb"},
  };
  for (const Case& c : cases) EXPECT_EQ(Text(c.html), c.text) << c.what;
}

TEST(HtmlToText, NestedLinks) {
  const Case cases[] = {
      {"text in both", Body("<a href=\"o\">x<a href=\"i\">y</a>z</a>"), "  o x i yz"},
      {"text only in the inner link keeps both addresses",
       Body("<a href=\"o\"><a href=\"i\">y</a></a>"), "  o  i y"},
      {"image only in the inner link",
       Body("<a href=\"o\">x<a href=\"i\"><img src=\"cid:1\"></a></a>"), "  o x    arbr1cd0"},
      {"no text anywhere", Body("<a href=\"o\"><a href=\"i\"></a></a>"), "       "},
      {"inner link never closed", Body("<a href=\"o\">x<a href=\"i\">y</a>"), "arbr4cd0"},
  };
  for (const Case& c : cases) EXPECT_EQ(Text(c.html), c.text) << c.what;
}

TEST(HtmlToText, DeeplyNestedLinksDoNotExhaustTheStack) {
  std::string shallow, deep;
  for (int i = 0; i < kMaxLinkDepth; ++i) shallow += "<a href=\"x\">";
  shallow += "t";
  for (int i = 0; i < kMaxLinkDepth; ++i) shallow += "</a>";
  std::string converted = Text(Body(shallow));
  EXPECT_EQ(converted.substr(converted.size() - 4), " x t");

  for (int i = 0; i < 100'000; ++i) deep += "<a href=\"x\">";
  deep += "t";
  for (int i = 0; i < 100'000; ++i) deep += "</a>";
  EXPECT_EQ(Text(Body(deep)), "arbr4cd0");
}

TEST(WalkTags, Results) {
  struct WalkCase {
    std::string input;
    bool copy;
    WalkResult result;
    std::string written;
  };
  const WalkCase cases[] = {
      {"x</a>rest", true, WalkResult::kEndedWithText, "x"},
      {"</a>rest", true, WalkResult::kEndedNoText, ""},
      {"x</a>", false, WalkResult::kEndedNoText, ""},
      {"<br>x", true, WalkResult::kEndOfInput, "\nx"},
      {"", true, WalkResult::kEndOfInput, ""},
  };
  for (const WalkCase& c : cases) {
    std::string buffer = c.input;
    HtmlCursor cursor{buffer.data(), buffer.data(), buffer.data() + buffer.size()};
    EXPECT_EQ(WalkTags(cursor, kLinkTags, c.copy), c.result) << c.input;
    EXPECT_EQ(std::string(buffer.data(), cursor.out), c.written) << c.input;
  }
}

TEST(WalkTags, EndEntryLeavesTheInputAfterTheTag) {
  std::string buffer = "a</a>rest";
  HtmlCursor cursor{buffer.data(), buffer.data(), buffer.data() + buffer.size()};
  WalkTags(cursor, kLinkTags, true);
  EXPECT_EQ(std::string(cursor.in, cursor.end), "rest");
}

TEST(HtmlToText, EveryTruncationIsSafe) {
  const std::string html =
      "<!DOCTYPE html><HTML><Head><Title>Offer</Title></Head><BODY bgcolor=\"#FFF\">\r\n"
      "<P>Dear&nbsp;friend,<BR>see <A HREF=\"http://Spam.Example/Go\">this &amp; that</A>"
      "<a href=\"http://x\"><IMG SRC=\"cid:img1@x\"></a><img src=\"http://t.example/p.gif\">"
      "<a href=\"o\"><a href=\"i\">in</a></a></div>AT&T &lt;b&gt;</BODY></HTML>";
  const std::string whole = Text(html);
  EXPECT_NE(whole.find("http://spam.example/go this that"), std::string::npos);
  EXPECT_NE(whole.find(" arbr1cd0 arbr2cd0"), std::string::npos);
  for (std::size_t n = 0; n <= html.size(); ++n) Text(std::string_view(html).substr(0, n));
}

TEST(HtmlToText, RandomMarkupNeverOverruns) {
  std::mt19937 random(77);
  const std::string_view pieces[] = {"<",       ">",       "<a href=\"",  "\"",   "</a>", "<body>",
                                     "</body>", "</html>", "<img src=\"", "cid",  "&",    ";",
                                     "<p>",     "<br>",    " ",           "word", "\n",   "<"};
  for (int round = 0; round < 3000; ++round) {
    std::string html;
    std::size_t count = random() % 40;
    for (std::size_t i = 0; i < count; ++i) {
      if (random() % 8 == 0) {
        html += static_cast<char>(random() % 256);
      } else {
        html += pieces[random() % std::size(pieces)];
      }
    }
    Text(html);
  }
}

}  // namespace
}  // namespace quorvel
