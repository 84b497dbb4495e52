// The manual's markup: blocks as written, and the escapes each output needs (HTML's
// markup characters; roff's backslashes, hyphens and lines that would be requests).
#include "manual/manual_markup.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace quorvel::manual {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

TEST(ManualMarkupTest, BlocksFollowTheLines) {
  const auto blocks = ParseManual(
      "# Quorvel\n\n## Name\nquorvel - a spam\nfilter\n\n- one\n  more\n- two\n"
      "```\n  quorvel run\n\n  x\n```\n### Sub\n");
  ASSERT_EQ(blocks.size(), 7u);
  EXPECT_EQ(blocks[0].kind, BlockKind::kTitle);
  EXPECT_EQ(blocks[2].text, "quorvel - a spam filter");
  EXPECT_EQ(blocks[3].kind, BlockKind::kItem);
  EXPECT_EQ(blocks[3].text, "one more");
  EXPECT_EQ(blocks[4].text, "two");
  EXPECT_EQ(blocks[5].kind, BlockKind::kCode);
  EXPECT_EQ(blocks[5].text, "  quorvel run\n\n  x\n");
  EXPECT_EQ(blocks[6].kind, BlockKind::kSubsection);
}

TEST(ManualMarkupTest, HtmlEscapesMarkupAndShowsCodeAndEmphasis) {
  const std::string html =
      ToHtml(ParseManual("# Q & A\n\nUse `list <white>` *now* & then.\n\n- a\n\nafter\n"));
  EXPECT_THAT(html, HasSubstr("<title>Q &amp; A</title>"));
  EXPECT_THAT(html,
              HasSubstr("<p>Use <code>list &lt;white&gt;</code> <em>now</em> &amp; then.</p>"));
  EXPECT_THAT(html, HasSubstr("<ul>\n<li>a</li>\n</ul>\n<p>after</p>"));
}

TEST(ManualMarkupTest, RoffEscapesBackslashesHyphensAndLeadingDots) {
  const std::string man =
      ToMan(ParseManual("## Options\n\n.dotfiles and \\n in `--json`\n\n```\n.x -y\n```\n"),
            "quorvel", "2026-12-08", "0.1.0");
  EXPECT_THAT(man, HasSubstr(".TH QUORVEL 1 \"2026-12-08\" \"Quorvel 0.1.0\""));
  EXPECT_THAT(man, HasSubstr(".SH \"OPTIONS\""));
  EXPECT_THAT(man, HasSubstr("\\&.dotfiles and \\en in \\fB\\-\\-json\\fR"));
  EXPECT_THAT(man, HasSubstr(".nf\n\\&.x \\-y\n.fi"));
  EXPECT_THAT(man, Not(HasSubstr("\n.dotfiles")));
}

// The shipped manual names every command of the program and the options of the pages.
TEST(ManualMarkupTest, TheManualCoversTheCommandsAndOptions) {
  const char* root = std::getenv("QUORVEL_SOURCE_DIR");
  ASSERT_NE(root, nullptr);
  std::ifstream in(std::string(root) + "/manual/quorvel.md");
  std::stringstream source;
  source << in.rdbuf();
  const std::string text = source.str();
  for (const char* needed : {"quorvel profile",        "quorvel run",        "quorvel status",
                             "quorvel classify",       "quorvel filter",     "quorvel list",
                             "quorvel dict",           "quorvel option",     "quorvel options",
                             "quorvel spam-folder",    "quorvel mailbase",   "quorvel folders",
                             "quorvel messages",       "quorvel log",        "quorvel register",
                             "MarkSpamAsRead",         "TrayNotification",   "RespectOutlookRules",
                             "CheckExternalImages",    "AutoAddToWhiteList", "GoodAddWhiteList",
                             "GoodAddDomainWhiteList", "GoodMoveInbox",      "GoodApplyToAll",
                             "JunkAddBlackList",       "JunkMoveInbox",      "JunkApplyToAll"}) {
    EXPECT_THAT(text, HasSubstr(needed));
  }
}

}  // namespace
}  // namespace quorvel::manual
