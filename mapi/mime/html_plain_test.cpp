#include "mapi/mime/html_plain.h"

#include <gtest/gtest.h>

#include "platform/code_page.h"

namespace quorvel::mapi {
namespace {

TEST(HtmlPlainTest, RenderingTable) {
  ASSERT_TRUE(platform::SetCodePageForTesting(1252));
  const std::pair<const char*, const char*> cases[] = {
      {"<p>one</p><p>two</p>", "one\r\ntwo"},
      {"a<br>b<br><br>c", "a\r\nb\r\n\r\nc"},
      {"<html><head><title>T</title><style>x{}</style></head><body>text</body>", "text"},
      {"<script>var a = '<p>';</script>after", "after"},
      {"x<!-- <p>hidden</p> -->y", "xy"},
      {"  lots \n\t of   blanks  ", "lots of blanks"},
      {"&lt;tag&gt; &amp; &quot;q&quot; &#233;&#xE9; &euro;", "<tag> & \"q\" \xE9\xE9 \x80"},
      {"&unknown; & &#; &#99999999;", "&unknown; & &#; &#99999999;"},
      {"&#x4E2D;", "?"},  // no such character in the code page
      {"unclosed <b", "unclosed"},
      {"<style>never closed", ""},
      {"<SCRIPT>x</SCRIPT>ok", "ok"},
  };
  for (const auto& [html, text] : cases) {
    EXPECT_EQ(HtmlToPlainText(html), text) << html;
  }
  platform::SetCodePageForTesting(0);
}

}  // namespace
}  // namespace quorvel::mapi
