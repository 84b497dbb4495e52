// The user's manual is written once, in a small Markdown-like markup, and turned into
// the HTML page the Help command opens and the man page quorvel(1).
//
// The markup, line by line:
//   "# Title"         the manual's title (first line only)
//   "## Section"      a section (a man page's .SH, upper-cased there)
//   "### Subsection"  a subsection (.SS)
//   "- text"          a list item; following indented lines continue it
//   "```" ... "```"   lines shown as they are
//   other lines       paragraphs, separated by blank lines
// Inside text: `code` (bold in the man page) and *emphasis* (italic).
//
// Pure functions; thread-safe.
#ifndef QUORVEL_MANUAL_MANUAL_MARKUP_H_
#define QUORVEL_MANUAL_MANUAL_MARKUP_H_

#include <string>
#include <string_view>
#include <vector>

namespace quorvel::manual {

enum class BlockKind { kTitle, kSection, kSubsection, kParagraph, kItem, kCode };

struct Block {
  BlockKind kind;
  std::string text;  // a paragraph's lines joined by blanks; code keeps its line breaks
};

std::vector<Block> ParseManual(std::string_view source);

// A whole HTML page (UTF-8).
std::string ToHtml(const std::vector<Block>& blocks);

// A man page of section 1 for `name`, dated `date` ("2026-12-08"), of `version`.
std::string ToMan(const std::vector<Block>& blocks, const std::string& name,
                  const std::string& date, const std::string& version);

}  // namespace quorvel::manual

#endif  // QUORVEL_MANUAL_MANUAL_MARKUP_H_
