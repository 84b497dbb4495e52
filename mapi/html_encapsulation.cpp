#include "mapi/html_encapsulation.h"

#include <array>

#include "platform/code_page.h"

namespace quorvel::mapi {
namespace {

constexpr std::string_view kFontAndColorTables =
    "{\\fonttbl\r\n{\\f0\\fswiss\\fcharset0 Arial;}\r\n{\\f1\\fmodern Courier New;}\r\n"
    "{\\f2\\fnil\\fcharset2 Symbol;}\r\n{\\f3\\fmodern\\fcharset0 Courier New;}}\r\n"
    "{\\colortbl\\red0\\green0\\blue0;\\red0\\green0\\blue255;}\r\n";

// The number that follows \htmltag for each kind of markup.
enum TagNumber : int {
  kStartTag = 64,
  kEndTag = 72,
  kCommentOrDeclaration = 241,
};

std::string CodePageWord() { return "\\ansicpg" + std::to_string(platform::ActiveCodePage()); }

// Appends one byte of text or markup in RTF form. A line break (CRLF, LF or CR) is
// handled by the caller.
void AppendByte(std::string& out, unsigned char c) {
  switch (c) {
    case '\\':
      out += "\\\\";
      return;
    case '{':
      out += "\\{";
      return;
    case '}':
      out += "\\}";
      return;
    case '\t':
      out += "\\tab ";
      return;
    default:
      break;
  }
  if (c >= 0x80) {
    static constexpr char kHex[] = "0123456789abcdef";
    const char hex[4] = {'\\', '\'', kHex[c >> 4], kHex[c & 0xF]};
    out.append(hex, sizeof hex);
    return;
  }
  out.push_back(static_cast<char>(c));
}

// Whether AppendByte writes the byte as it is (and it is no line break).
constexpr std::array<bool, 256> kPlainBytes = [] {
  std::array<bool, 256> plain{};
  for (int b = 0; b < 0x80; ++b) plain[b] = true;
  for (unsigned char c : {'\\', '{', '}', '\t', '\r', '\n'}) plain[c] = false;
  return plain;
}();

bool IsPlainByte(char c) { return kPlainBytes[static_cast<unsigned char>(c)]; }

// Appends `text` with every line break as "\par ".
void AppendText(std::string& out, std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    // Runs of bytes that stay as they are go in one piece.
    std::size_t run = i;
    while (run < text.size() && IsPlainByte(text[run])) ++run;
    if (run > i) {
      out.append(text.data() + i, run - i);
      i = run;
      if (i == text.size()) break;
    }
    char c = text[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      out += "\\par ";
      continue;
    }
    AppendByte(out, static_cast<unsigned char>(c));
  }
}

// The end of the markup that starts at `start` ('<'): after "-->" for a comment,
// else after the first '>' outside quotes; the end of the text when unterminated.
std::size_t MarkupEnd(std::string_view html, std::size_t start) {
  if (html.substr(start, 4) == "<!--") {
    std::size_t close = html.find("-->", start + 4);
    return close == std::string_view::npos ? html.size() : close + 3;
  }
  char quote = 0;
  for (std::size_t i = start + 1; i < html.size(); ++i) {
    char c = html[i];
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '>') {
      return i + 1;
    }
  }
  return html.size();
}

int NumberFor(std::string_view markup) {
  if (markup.size() > 1 && markup[1] == '/') return kEndTag;
  if (markup.size() > 1 && (markup[1] == '!' || markup[1] == '?')) return kCommentOrDeclaration;
  return kStartTag;
}

}  // namespace

std::string EncapsulateHtml(std::string_view html) {
  std::string out;
  out.reserve(html.size() * 5 / 4 + 400);
  out += "{\\rtf1\\ansi";
  out += CodePageWord();
  out += "\\fromhtml1 \\fbidis \\deff0";
  out += kFontAndColorTables;
  out += "\\uc1\\pard\\plain\\deftab360 \\f0\\fs24 \r\n";
  std::size_t i = 0;
  while (i < html.size()) {
    std::size_t lt = html.find('<', i);
    if (lt == std::string_view::npos) lt = html.size();
    if (lt > i) AppendText(out, html.substr(i, lt - i));
    if (lt == html.size()) break;
    std::size_t end = MarkupEnd(html, lt);
    std::string_view markup = html.substr(lt, end - lt);
    out += "{\\*\\htmltag";
    out += std::to_string(NumberFor(markup));
    out += ' ';
    AppendText(out, markup);
    out += "}";
    i = end;
  }
  out += "}\r\n";
  return out;
}

std::string PlainTextToRtf(std::string_view text) {
  std::string out;
  out.reserve(text.size() * 9 / 8 + 120);
  out += "{\\rtf1\\ansi";
  out += CodePageWord();
  out += "\\deff0{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}}\r\n\\uc1\\pard\\plain\\f0\\fs20 ";
  AppendText(out, text);
  out += "}\r\n";
  return out;
}

}  // namespace quorvel::mapi
