#include "manual/manual_markup.h"

#include <cctype>
#include <sstream>

namespace quorvel::manual {
namespace {

bool StartsWith(std::string_view line, std::string_view prefix) {
  return line.substr(0, prefix.size()) == prefix;
}

std::string Trimmed(std::string_view text) {
  std::size_t begin = 0, end = text.size();
  while (begin < end && (text[begin] == ' ' || text[begin] == '\t')) ++begin;
  while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t' || text[end - 1] == '\r')) {
    --end;
  }
  return std::string(text.substr(begin, end - begin));
}

std::string EscapeHtml(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '&') {
      out += "&amp;";
    } else if (c == '<') {
      out += "&lt;";
    } else if (c == '>') {
      out += "&gt;";
    } else if (c == '"') {
      out += "&quot;";
    } else {
      out += c;
    }
  }
  return out;
}

// roff: a backslash is \e, a hyphen \- (so that it is not a hyphenation point and
// copies as a minus), and a line must not start with a control character.
std::string EscapeRoff(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\\') {
      out += "\\e";
    } else if (c == '-') {
      out += "\\-";
    } else {
      out += c;
    }
  }
  return out;
}

std::string RoffLine(std::string line) {
  if (!line.empty() && (line[0] == '.' || line[0] == '\'')) line.insert(0, "\\&");
  return line;
}

// `code` and *emphasis* in a line of text, each side escaped by `escape`.
template <typename Escape>
std::string Inline(std::string_view text, Escape escape, const char* codeOpen,
                   const char* codeClose, const char* emOpen, const char* emClose) {
  std::string out;
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c == '`' || c == '*') {
      const std::size_t close = text.find(c, i + 1);
      if (close != std::string_view::npos && close > i + 1) {
        out += c == '`' ? codeOpen : emOpen;
        out += escape(text.substr(i + 1, close - i - 1));
        out += c == '`' ? codeClose : emClose;
        i = close + 1;
        continue;
      }
    }
    const std::size_t next = text.find_first_of("`*", i + 1);
    const std::size_t end = next == std::string_view::npos ? text.size() : next;
    out += escape(text.substr(i, end - i));
    i = end;
  }
  return out;
}

std::string HtmlText(std::string_view text) {
  return Inline(text, EscapeHtml, "<code>", "</code>", "<em>", "</em>");
}

std::string RoffText(std::string_view text) {
  return Inline(text, EscapeRoff, "\\fB", "\\fR", "\\fI", "\\fR");
}

}  // namespace

std::vector<Block> ParseManual(std::string_view source) {
  std::vector<Block> blocks;
  std::istringstream in{std::string(source)};
  std::string line;
  bool inCode = false;
  bool open = false;  // the last block takes continuation lines
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (StartsWith(line, "```")) {
      if (!inCode) blocks.push_back({BlockKind::kCode, ""});
      inCode = !inCode;
      open = false;
      continue;
    }
    if (inCode) {
      blocks.back().text += line + "\n";
      continue;
    }
    const std::string text = Trimmed(line);
    if (text.empty()) {
      open = false;
    } else if (StartsWith(line, "### ")) {
      blocks.push_back({BlockKind::kSubsection, Trimmed(line.substr(4))});
      open = false;
    } else if (StartsWith(line, "## ")) {
      blocks.push_back({BlockKind::kSection, Trimmed(line.substr(3))});
      open = false;
    } else if (StartsWith(line, "# ")) {
      blocks.push_back({BlockKind::kTitle, Trimmed(line.substr(2))});
      open = false;
    } else if (StartsWith(line, "- ")) {
      blocks.push_back({BlockKind::kItem, Trimmed(line.substr(2))});
      open = true;
    } else if (open) {
      blocks.back().text += " " + text;
    } else {
      blocks.push_back({BlockKind::kParagraph, text});
      open = true;
    }
  }
  return blocks;
}

std::string ToHtml(const std::vector<Block>& blocks) {
  std::string title = "Quorvel";
  for (const Block& b : blocks) {
    if (b.kind == BlockKind::kTitle) title = b.text;
  }
  std::string out =
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>" +
      EscapeHtml(title) +
      "</title>\n<style>body{max-width:50em;margin:2em auto;font-family:sans-serif;"
      "line-height:1.4}pre,code{background:#f4f4f4}pre{padding:.5em}</style>\n"
      "</head>\n<body>\n";
  bool inList = false;
  for (const Block& b : blocks) {
    if (b.kind != BlockKind::kItem && inList) {
      out += "</ul>\n";
      inList = false;
    }
    switch (b.kind) {
      case BlockKind::kTitle:
        out += "<h1>" + EscapeHtml(b.text) + "</h1>\n";
        break;
      case BlockKind::kSection:
        out += "<h2>" + HtmlText(b.text) + "</h2>\n";
        break;
      case BlockKind::kSubsection:
        out += "<h3>" + HtmlText(b.text) + "</h3>\n";
        break;
      case BlockKind::kParagraph:
        out += "<p>" + HtmlText(b.text) + "</p>\n";
        break;
      case BlockKind::kItem:
        if (!inList) out += "<ul>\n";
        inList = true;
        out += "<li>" + HtmlText(b.text) + "</li>\n";
        break;
      case BlockKind::kCode:
        out += "<pre>" + EscapeHtml(b.text) + "</pre>\n";
        break;
    }
  }
  if (inList) out += "</ul>\n";
  return out + "</body>\n</html>\n";
}

std::string ToMan(const std::vector<Block>& blocks, const std::string& name,
                  const std::string& date, const std::string& version) {
  std::string upper;
  for (char c : name) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  std::string out =
      ".TH " + upper + " 1 \"" + date + "\" \"Quorvel " + version + "\" \"User Commands\"\n";
  for (const Block& b : blocks) {
    switch (b.kind) {
      case BlockKind::kTitle:
        break;  // the .TH line names the page
      case BlockKind::kSection: {
        std::string heading;
        for (char c : b.text) {
          heading += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
        out += ".SH \"" + EscapeRoff(heading) + "\"\n";
        break;
      }
      case BlockKind::kSubsection:
        out += ".SS \"" + EscapeRoff(b.text) + "\"\n";
        break;
      case BlockKind::kParagraph:
        out += ".PP\n" + RoffLine(RoffText(b.text)) + "\n";
        break;
      case BlockKind::kItem:
        out += ".IP \\(bu 2\n" + RoffLine(RoffText(b.text)) + "\n";
        break;
      case BlockKind::kCode: {
        out += ".PP\n.RS 4\n.nf\n";
        std::istringstream lines(b.text);
        std::string line;
        while (std::getline(lines, line)) out += RoffLine(EscapeRoff(line)) + "\n";
        out += ".fi\n.RE\n";
        break;
      }
    }
  }
  return out;
}

}  // namespace quorvel::manual
