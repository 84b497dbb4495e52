#include "mapi/mime/html_plain.h"

#include <cstdint>

#include "mapi/mime/mime_text.h"
#include "platform/code_page.h"

namespace quorvel::mapi {
namespace {

// Elements whose whole content is not text.
constexpr std::string_view kSkippedElements[] = {"head", "style", "script", "title"};
// Elements that start or end a line.
constexpr std::string_view kBlockElements[] = {
    "br", "p",     "div", "tr", "li",         "h1",  "h2", "h3", "h4", "h5",
    "h6", "table", "ul",  "ol", "blockquote", "pre", "hr", "dd", "dt"};

struct NamedEntity {
  std::string_view name;
  char16_t code;
};
constexpr NamedEntity kEntities[] = {
    {"amp", u'&'},        {"lt", u'<'},         {"gt", u'>'},         {"quot", u'"'},
    {"apos", u'\''},      {"nbsp", u' '},       {"copy", u'\u00A9'},  {"reg", u'\u00AE'},
    {"euro", u'\u20AC'},  {"mdash", u'\u2014'}, {"ndash", u'\u2013'}, {"hellip", u'\u2026'},
    {"laquo", u'\u00AB'}, {"raquo", u'\u00BB'}, {"trade", u'\u2122'}};

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

bool IsNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

class Renderer {
 public:
  explicit Renderer(std::string_view html) : html_(html) { out_.reserve(html.size() / 2); }

  std::string Run() {
    std::size_t i = 0;
    while (i < html_.size()) {
      char c = html_[i];
      if (c == '<') {
        i = Tag(i);
      } else if (c == '&') {
        i = Entity(i);
      } else {
        Text(c);
        ++i;
      }
    }
    while (!out_.empty() && (out_.back() == ' ' || out_.back() == '\n' || out_.back() == '\r')) {
      out_.pop_back();
    }
    return out_;
  }

 private:
  void Text(char c) {
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      if (!out_.empty() && out_.back() != ' ' && out_.back() != '\n') out_.push_back(' ');
      return;
    }
    out_.push_back(c);
  }

  // A <br> always ends a line; a block boundary only when the line has text.
  void LineBreak(bool always) {
    while (!out_.empty() && out_.back() == ' ') out_.pop_back();
    if (out_.empty()) return;
    if (always || out_.back() != '\n') out_ += "\r\n";
  }

  std::size_t Tag(std::size_t start) {
    if (html_.compare(start, 4, "<!--") == 0) {
      std::size_t end = html_.find("-->", start + 4);
      return end == std::string_view::npos ? html_.size() : end + 3;
    }
    std::size_t end = html_.find('>', start);
    if (end == std::string_view::npos) return html_.size();
    std::size_t p = start + 1;
    bool closing = p < end && html_[p] == '/';
    if (closing) ++p;
    std::size_t nameEnd = p;
    while (nameEnd < end && IsNameChar(html_[nameEnd])) ++nameEnd;
    std::string name = Lower(html_.substr(p, nameEnd - p));
    if (!closing) {
      for (std::string_view skipped : kSkippedElements) {
        if (name == skipped) return SkipElement(end + 1, skipped);
      }
    }
    for (std::string_view block : kBlockElements) {
      if (name == block) {
        LineBreak(name == "br");
        break;
      }
    }
    return end + 1;
  }

  // Continues after "</name>" (or at the end when it never comes).
  std::size_t SkipElement(std::size_t from, std::string_view name) {
    std::string closing = "</" + std::string(name);
    std::size_t at = FindNoCaseAscii(html_, closing, from);
    if (at == std::string_view::npos) return html_.size();
    std::size_t end = html_.find('>', at);
    return end == std::string_view::npos ? html_.size() : end + 1;
  }

  std::size_t Entity(std::size_t start) {
    std::size_t p = start + 1;
    std::size_t end = p;
    while (end < html_.size() && end - p < 10 && (IsNameChar(html_[end]) || html_[end] == '#')) {
      ++end;
    }
    std::string_view body = html_.substr(p, end - p);
    std::uint32_t code = 0;
    bool known = false;
    if (body.size() > 1 && body[0] == '#') {
      bool hex = body[1] == 'x' || body[1] == 'X';
      std::size_t k = hex ? 2 : 1;
      for (; k < body.size(); ++k) {
        char d = body[k];
        int v = (d >= '0' && d <= '9')          ? d - '0'
                : (hex && d >= 'a' && d <= 'f') ? d - 'a' + 10
                : (hex && d >= 'A' && d <= 'F') ? d - 'A' + 10
                                                : -1;
        if (v < 0 || code > 0x10FFFF) break;
        code = code * (hex ? 16 : 10) + static_cast<std::uint32_t>(v);
        known = true;
      }
      known = known && k == body.size() && code > 0 && code <= 0xFFFF;
    } else {
      for (const NamedEntity& e : kEntities) {
        if (body == e.name) {
          code = e.code;
          known = true;
          break;
        }
      }
    }
    if (!known) {
      out_.push_back('&');
      return start + 1;
    }
    if (code < 0x80) {
      Text(static_cast<char>(code));
    } else {
      std::u16string wide(1, static_cast<char16_t>(code));
      out_ += platform::WideToAnsi(wide);
    }
    return end < html_.size() && html_[end] == ';' ? end + 1 : end;
  }

  std::string_view html_;
  std::string out_;
};

}  // namespace

std::string HtmlToPlainText(std::string_view html) { return Renderer(html).Run(); }

}  // namespace quorvel::mapi
