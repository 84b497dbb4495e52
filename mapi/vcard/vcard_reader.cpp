#include "mapi/vcard/vcard_reader.h"

#include <algorithm>
#include <cctype>

#include "platform/code_page.h"

namespace quorvel::mapi::vcard {
namespace {

std::string Upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

std::string_view Trim(std::string_view s) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

bool IsValidUtf8(std::string_view s) {
  for (std::size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    std::size_t follow = 0;
    if (c >= 0xC2 && c <= 0xDF) {
      follow = 1;
    } else if (c >= 0xE0 && c <= 0xEF) {
      follow = 2;
    } else if (c >= 0xF0 && c <= 0xF4) {
      follow = 3;
    } else if (c >= 0x80) {
      return false;
    }
    if (i + follow >= s.size() && follow > 0) return false;
    for (std::size_t k = 1; k <= follow; ++k) {
      if ((static_cast<unsigned char>(s[i + k]) >> 6) != 0x2) return false;
    }
    i += follow + 1;
  }
  return true;
}

// The logical lines of the input: line ends removed, folded lines joined, and
// quoted-printable values that end with a soft break ("=") joined to the next line.
std::vector<std::string> LogicalLines(std::string_view bytes) {
  std::vector<std::string> lines;
  bool qpOpen = false;  // the last line is a quoted-printable value ending in '='
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    std::size_t end = bytes.find('\n', pos);
    if (end == std::string_view::npos) end = bytes.size();
    std::string_view raw = bytes.substr(pos, end - pos);
    pos = end + 1;
    if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
    const bool folded = !raw.empty() && (raw.front() == ' ' || raw.front() == '\t');
    if (!lines.empty() && qpOpen) {
      lines.back().pop_back();  // the soft break's '='
      lines.back().append(raw);
    } else if (!lines.empty() && folded) {
      lines.back().append(raw.substr(1));
    } else if (!lines.empty() && !raw.empty() && raw.find(':') == std::string_view::npos) {
      lines.back().append(raw);  // broken folding: a continuation without its blank
    } else if (!raw.empty()) {
      lines.emplace_back(raw);
    }
    if (lines.empty()) continue;
    const std::string& last = lines.back();
    const std::string head = Upper(last.substr(0, last.find(':')));
    qpOpen =
        !last.empty() && last.back() == '=' && head.find("QUOTED-PRINTABLE") != std::string::npos;
  }
  return lines;
}

std::string ParamValue(const ContentLine& line, std::string_view name) {
  for (const auto& [key, value] : line.params) {
    if (key == name) return value;
  }
  return {};
}

bool HasBareOrValue(const ContentLine& line, std::string_view key, std::string_view value) {
  for (const auto& [k, v] : line.params) {
    if ((k.empty() || k == key) && Upper(v) == value) return true;
  }
  return false;
}

// The property's text in the ANSI code page: transfer encoding undone, charset
// converted, escapes undone.
std::string TextValue(const ContentLine& line) {
  std::string bytes = line.value;
  if (HasBareOrValue(line, "ENCODING", "QUOTED-PRINTABLE")) bytes = DecodeQuotedPrintable(bytes);
  bytes = UnescapeText(bytes);
  std::string charset = Upper(ParamValue(line, "CHARSET"));
  std::string out;
  const bool declaredUtf8 = charset == "UTF-8" || charset == "UTF8";
  if (!charset.empty() && !declaredUtf8 && platform::CharsetToAnsi(charset, bytes, &out)) {
    return out;
  }
  if (IsValidUtf8(bytes)) return platform::Utf8ToAnsi(bytes);
  if (platform::CharsetToAnsi("windows-1252", bytes, &out)) return out;
  return bytes;
}

// N is "Family;Given;Additional;Prefix;Suffix": a name of given and family name.
std::string NameFromN(const std::string& value) {
  std::vector<std::string> parts;
  std::string current;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '\\' && i + 1 < value.size()) {
      current.push_back(value[++i]);
    } else if (value[i] == ';') {
      parts.push_back(current);
      current.clear();
    } else {
      current.push_back(value[i]);
    }
  }
  parts.push_back(current);
  std::string name;
  for (std::size_t index : {std::size_t{1}, std::size_t{0}}) {
    if (index < parts.size() && !Trim(parts[index]).empty()) {
      if (!name.empty()) name += ' ';
      name += Trim(parts[index]);
    }
  }
  return name;
}

}  // namespace

bool ParseContentLine(std::string_view line, ContentLine* out) {
  *out = ContentLine();
  // The name and parameters end at the first colon outside a quoted parameter value.
  std::size_t colon = std::string_view::npos;
  bool quoted = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '"') quoted = !quoted;
    if (line[i] == ':' && !quoted) {
      colon = i;
      break;
    }
  }
  if (colon == std::string_view::npos) return false;
  out->value = std::string(line.substr(colon + 1));
  std::string_view head = line.substr(0, colon);
  std::vector<std::string_view> pieces;
  quoted = false;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= head.size(); ++i) {
    if (i < head.size() && head[i] == '"') quoted = !quoted;
    if (i == head.size() || (head[i] == ';' && !quoted)) {
      pieces.push_back(head.substr(start, i - start));
      start = i + 1;
    }
  }
  std::string_view name = Trim(pieces[0]);
  if (std::size_t dot = name.rfind('.'); dot != std::string_view::npos) name.remove_prefix(dot + 1);
  if (name.empty()) return false;
  out->name = Upper(name);
  for (std::size_t i = 1; i < pieces.size(); ++i) {
    std::string_view param = Trim(pieces[i]);
    if (param.empty()) continue;
    std::size_t eq = param.find('=');
    if (eq == std::string_view::npos) {
      out->params.emplace_back("", std::string(param));
      continue;
    }
    std::string_view value = Trim(param.substr(eq + 1));
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
      value = value.substr(1, value.size() - 2);
    }
    out->params.emplace_back(Upper(Trim(param.substr(0, eq))), std::string(value));
  }
  return true;
}

std::string DecodeQuotedPrintable(std::string_view text) {
  const auto hex = [](char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  };
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '=') {
      out.push_back(text[i]);
      continue;
    }
    if (i + 2 < text.size() && text[i + 1] == '\r' && text[i + 2] == '\n') {
      i += 2;  // soft line break
      continue;
    }
    if (i + 1 < text.size() && text[i + 1] == '\n') {
      i += 1;
      continue;
    }
    if (i + 2 < text.size() && hex(text[i + 1]) >= 0 && hex(text[i + 2]) >= 0) {
      out.push_back(static_cast<char>(hex(text[i + 1]) * 16 + hex(text[i + 2])));
      i += 2;
      continue;
    }
    if (i + 1 == text.size()) continue;  // a soft break the line joining left behind
    out.push_back('=');
  }
  return out;
}

std::string UnescapeText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out.push_back(text[i]);
      continue;
    }
    const char next = text[++i];
    out.push_back(next == 'n' || next == 'N' ? '\n' : next);
  }
  return out;
}

std::vector<VCard> ReadVCards(std::string_view bytes) {
  std::vector<VCard> cards;
  bool inCard = false;
  int nested = 0;  // an embedded card (a 2.1 AGENT) is not read as one of its own
  VCard card;
  std::string fromN;
  const auto finish = [&] {
    if (card.displayName.empty()) card.displayName = fromN;
    cards.push_back(std::move(card));
    card = VCard();
    fromN.clear();
    inCard = false;
  };
  for (const std::string& text : LogicalLines(bytes)) {
    ContentLine line;
    if (!ParseContentLine(text, &line)) continue;
    const std::string value = Upper(Trim(line.value));
    if (line.name == "BEGIN" && value == "VCARD") {
      if (nested > 0) {
        ++nested;
        continue;
      }
      if (inCard) finish();  // the card before never ended
      inCard = true;
      continue;
    }
    if (!inCard) continue;
    if (line.name == "END" && value == "VCARD") {
      if (nested > 0) {
        --nested;
      } else {
        finish();
      }
      continue;
    }
    if (line.name == "AGENT" && value == "BEGIN:VCARD") {
      ++nested;
      continue;
    }
    if (nested > 0) continue;
    if (line.name == "VERSION") {
      card.version = std::string(Trim(line.value));
    } else if (line.name == "FN") {
      if (card.displayName.empty()) card.displayName = std::string(Trim(TextValue(line)));
    } else if (line.name == "N") {
      if (fromN.empty()) fromN = NameFromN(TextValue(line));
    } else if (line.name == "EMAIL") {
      std::string address(Trim(TextValue(line)));
      if (address.size() > 7 && Upper(address.substr(0, 7)) == "MAILTO:") address.erase(0, 7);
      address = std::string(Trim(address));
      if (address.empty() || address.size() > kMaxEmailLength) continue;
      if (card.emails.size() >= kMaxEmailsPerCard) {
        ++card.emailsDropped;
        continue;
      }
      card.emails.push_back(std::move(address));
    }
  }
  if (inCard) finish();
  return cards;
}

}  // namespace quorvel::mapi::vcard
