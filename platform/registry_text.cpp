#include "platform/registry_text.h"

#include <cstdio>
#include <optional>
#include <vector>

#include "platform/code_page.h"

namespace quorvel::platform {
namespace {

constexpr std::string_view kHeader5 = "Windows Registry Editor Version 5.00";
constexpr std::string_view kHeader4 = "REGEDIT4";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (IsBlank(s.front()) || s.front() == '\r')) s.remove_prefix(1);
  while (!s.empty() && (IsBlank(s.back()) || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && EqualsNoCase(s.substr(0, prefix.size()), prefix);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Well-formed UTF-8 (shortest forms, no surrogates, at most U+10FFFF).
bool IsUtf8(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    auto c = static_cast<unsigned char>(s[i]);
    std::size_t extra;
    std::uint32_t cp;
    if (c < 0x80) {
      ++i;
      continue;
    } else if (c >= 0xC2 && c <= 0xDF) {
      extra = 1, cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      extra = 2, cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      extra = 3, cp = c & 0x07;
    } else {
      return false;
    }
    if (i + extra >= s.size()) return false;
    for (std::size_t k = 1; k <= extra; ++k) {
      auto t = static_cast<unsigned char>(s[i + k]);
      if ((t & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (t & 0x3F);
    }
    if ((extra == 2 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
        (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF))) {
      return false;
    }
    i += extra + 1;
  }
  return true;
}

// The file's text as UTF-8, whatever encoding it came in.
std::optional<std::string> DecodeFile(std::string_view bytes) {
  if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') {
    if (bytes.size() % 2 != 0) return std::nullopt;
    std::u16string wide((bytes.size() - 2) / 2, u'\0');
    for (std::size_t i = 0; i < wide.size(); ++i) {
      wide[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 + 2 * i]) |
                                      (static_cast<unsigned char>(bytes[3 + 2 * i]) << 8));
    }
    return WideToUtf8(wide);
  }
  if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  if (IsUtf8(bytes)) return std::string(bytes);
  return AnsiToUtf8(bytes);
}

// UTF-16LE bytes of string data in a version 5 file -> ANSI bytes; the reverse.
std::vector<std::uint8_t> Utf16BytesToAnsi(const std::vector<std::uint8_t>& bytes) {
  std::u16string wide(bytes.size() / 2, u'\0');  // an odd last byte is dropped
  for (std::size_t i = 0; i < wide.size(); ++i) {
    wide[i] = static_cast<char16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  }
  std::string ansi = WideToAnsi(wide);
  return {ansi.begin(), ansi.end()};
}

std::vector<std::uint8_t> AnsiToUtf16Bytes(const std::vector<std::uint8_t>& ansi) {
  std::u16string wide =
      AnsiToWide(std::string_view(reinterpret_cast<const char*>(ansi.data()), ansi.size()));
  std::vector<std::uint8_t> bytes;
  bytes.reserve(wide.size() * 2);
  for (char16_t unit : wide) {
    bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
  return bytes;
}

class Parser {
 public:
  Parser(RegRoot root, RegistryTree* tree) : root_(root), tree_(tree) {}

  bool Run(const std::string& text, RegistryTextError* error) {
    std::vector<std::string_view> lines;
    std::string_view rest(text);
    while (!rest.empty()) {
      auto end = rest.find('\n');
      lines.push_back(rest.substr(0, end));
      if (end == std::string_view::npos) break;
      rest.remove_prefix(end + 1);
    }
    for (std::size_t i = 0; i < lines.size(); ++i) {
      line_ = static_cast<int>(i + 1);
      std::string logical(Trim(lines[i]));
      // A trailing backslash continues the line (long hex data), except in comments.
      while (!logical.empty() && logical.back() == '\\' && logical.front() != ';' &&
             logical.front() != '[' && i + 1 < lines.size()) {
        logical.pop_back();
        logical += Trim(lines[++i]);
      }
      if (!Line(logical)) {
        error->line = line_;
        error->message = message_;
        return false;
      }
    }
    return true;  // an empty file holds nothing
  }

 private:
  bool Fail(std::string message) {
    message_ = std::move(message);
    return false;
  }

  bool Line(std::string_view line) {
    if (line.empty() || line.front() == ';') return true;
    if (version_ == 0) {
      if (line == kHeader5) return version_ = 5, true;
      if (line == kHeader4) return version_ = 4, true;
      return Fail("not a registry file: the first line must be \"" + std::string(kHeader5) + "\"");
    }
    if (line.front() == '[') return KeyLine(line);
    if (line.front() == '"' || line.front() == '@') return ValueLine(line);
    return Fail("expected [key] or \"name\"=value");
  }

  bool KeyLine(std::string_view line) {
    if (line.back() != ']') return Fail("key line without closing ']'");
    std::string_view path = line.substr(1, line.size() - 2);
    bool remove = !path.empty() && path.front() == '-';
    if (remove) path.remove_prefix(1);
    std::string_view rootName = RegRootName(root_);
    if (!StartsWithNoCase(path, rootName) ||
        (path.size() > rootName.size() && path[rootName.size()] != '\\')) {
      return Fail("key outside " + std::string(rootName) + ": [" + std::string(path) + "]");
    }
    std::string key = Utf8ToAnsi(path.substr(rootName.size()));
    if (!RegistryTree::ValidKeyPath(key)) {
      if (SplitKeyPath(key).size() > kMaxKeyDepth) {
        return Fail("key nested deeper than " + std::to_string(kMaxKeyDepth) + " levels");
      }
      return Fail("invalid key name");
    }
    haveKey_ = !remove;
    if (remove) {
      tree_->DeleteTree(key);
      return true;
    }
    key_ = key;
    tree_->CreateKey(key_);
    return true;
  }

  // A quoted string at the start of s; consumes it. `\\` and `\"` are escapes; any
  // other backslash stands for itself.
  bool QuotedString(std::string_view* s, std::string* out) {
    out->clear();
    for (std::size_t i = 1; i < s->size(); ++i) {
      char c = (*s)[i];
      if (c == '"') {
        s->remove_prefix(i + 1);
        return true;
      }
      if (c == '\\' && i + 1 < s->size() && ((*s)[i + 1] == '\\' || (*s)[i + 1] == '"')) {
        c = (*s)[++i];
      }
      out->push_back(c);
    }
    return Fail("unterminated string");
  }

  bool HexBytes(std::string_view s, std::vector<std::uint8_t>* out) {
    out->clear();
    s = Trim(s);
    while (!s.empty()) {
      std::size_t n = 0;
      int value = 0;
      while (n < s.size() && HexDigit(s[n]) >= 0 && n < 2) value = value * 16 + HexDigit(s[n++]);
      if (n == 0) return Fail("bad hex byte in \"" + std::string(s.substr(0, 8)) + "\"");
      out->push_back(static_cast<std::uint8_t>(value));
      s = Trim(s.substr(n));
      if (s.empty()) break;
      if (s.front() != ',') return Fail("expected ',' between hex bytes");
      s = Trim(s.substr(1));
    }
    return true;
  }

  bool ValueLine(std::string_view line) {
    if (!haveKey_) return Fail("value outside any key");
    std::string utf8Name;
    if (line.front() == '@') {
      line.remove_prefix(1);
    } else if (!QuotedString(&line, &utf8Name)) {
      return false;
    }
    line = Trim(line);
    if (line.empty() || line.front() != '=') return Fail("expected '=' after the value name");
    line = Trim(line.substr(1));
    std::string name = Utf8ToAnsi(utf8Name);
    if (!RegistryTree::ValidValueName(name)) return Fail("invalid value name");

    RegValue value;
    if (line == "-") {
      tree_->DeleteValue(key_, name);
      return true;
    } else if (!line.empty() && line.front() == '"') {
      std::string text;
      if (!QuotedString(&line, &text)) return false;
      if (!Trim(line).empty()) return Fail("unexpected text after the string");
      value = RegValue::String(Utf8ToAnsi(text));
    } else if (StartsWithNoCase(line, "dword:")) {
      std::string_view digits = line.substr(6);
      if (digits.empty() || digits.size() > 8) return Fail("dword needs 1 to 8 hex digits");
      std::uint32_t v = 0;
      for (char c : digits) {
        if (HexDigit(c) < 0) return Fail("bad hex digit in dword");
        v = v * 16 + static_cast<std::uint32_t>(HexDigit(c));
      }
      value = RegValue::Dword(v);
    } else if (StartsWithNoCase(line, "hex:")) {
      value.type = REG_BINARY;
      if (!HexBytes(line.substr(4), &value.data)) return false;
    } else if (StartsWithNoCase(line, "hex(")) {
      auto close = line.find("):");
      if (close == std::string_view::npos || close == 4 || close > 12) return Fail("bad hex(type)");
      std::uint32_t type = 0;
      for (char c : line.substr(4, close - 4)) {
        if (HexDigit(c) < 0) return Fail("bad hex(type)");
        type = type * 16 + static_cast<std::uint32_t>(HexDigit(c));
      }
      value.type = type;
      if (!HexBytes(line.substr(close + 2), &value.data)) return false;
      bool text = type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
      if (text && version_ == 5) value.data = Utf16BytesToAnsi(value.data);
    } else {
      return Fail("unrecognised value data");
    }
    tree_->SetValue(key_, name, value);
    if (lineSought_ != nullptr && EqualsNoCase(name, soughtName_) &&
        EqualsNoCase(Trimmed(key_), Trimmed(soughtKey_))) {
      *lineSought_ = line_;
    }
    return true;
  }

 public:
  // Makes Run record in *line the line where `name` of `key` is set last.
  void SeekValue(std::string_view key, std::string_view name, int* line) {
    soughtKey_ = key;
    soughtName_ = name;
    lineSought_ = line;
  }

 private:
  // The key path without leading, trailing or doubled backslashes.
  static std::string Trimmed(std::string_view path) {
    std::string out;
    for (std::string_view part : SplitKeyPath(path)) {
      if (!out.empty()) out.push_back('\\');
      out.append(part);
    }
    return out;
  }

  std::string soughtKey_;
  std::string soughtName_;
  int* lineSought_ = nullptr;
  RegRoot root_;
  RegistryTree* tree_;
  int version_ = 0;
  bool haveKey_ = false;
  std::string key_;
  int line_ = 0;
  std::string message_;
};

std::string Quote(std::string_view ansi) {
  std::string out = "\"";
  for (char c : AnsiToUtf8(ansi)) {
    if (c == '\\' || c == '"') out.push_back('\\');
    out.push_back(c);
  }
  out.push_back('"');
  return out;
}

// String data that a quoted string reproduces byte for byte: one final NUL, no
// other NUL or line break.
bool FitsQuotedString(const std::vector<std::uint8_t>& data) {
  if (data.empty() || data.back() != 0) return false;
  std::string_view text(reinterpret_cast<const char*>(data.data()), data.size() - 1);
  if (text.find_first_of(std::string_view("\0\r\n", 3)) != std::string_view::npos) return false;
  return Utf8ToAnsi(AnsiToUtf8(text)) == text;
}

void AppendHex(std::string* out, std::string_view prefix, const std::vector<std::uint8_t>& bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  out->reserve(out->size() + prefix.size() + bytes.size() * 3 + bytes.size() / 8 + 2);
  out->append(prefix);
  std::size_t column = prefix.size();
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    out->push_back(kDigits[bytes[i] >> 4]);
    out->push_back(kDigits[bytes[i] & 0xF]);
    column += 2;
    if (i + 1 < bytes.size()) {
      out->push_back(',');
      ++column;
      if (column > 76) {  // the registry editor's line width
        out->append("\\\n  ");
        column = 2;
      }
    }
  }
  out->push_back('\n');
}

void AppendValue(std::string* out, const std::string& name, const RegValue& value) {
  std::string lead = (name.empty() ? std::string("@") : Quote(name)) + "=";
  char buffer[32];
  if (value.type == REG_SZ && FitsQuotedString(value.data)) {
    std::string_view text(reinterpret_cast<const char*>(value.data.data()), value.data.size() - 1);
    out->append(lead + Quote(text) + "\n");
  } else if (value.type == REG_DWORD && value.data.size() == 4) {
    std::uint32_t v = value.data[0] | (value.data[1] << 8) | (value.data[2] << 16) |
                      (static_cast<std::uint32_t>(value.data[3]) << 24);
    std::snprintf(buffer, sizeof buffer, "dword:%08x\n", v);
    out->append(lead + buffer);
  } else if (value.type == REG_BINARY) {
    AppendHex(out, lead + "hex:", value.data);
  } else {
    std::snprintf(buffer, sizeof buffer, "hex(%x):", value.type);
    bool text = value.type == REG_SZ || value.type == REG_EXPAND_SZ || value.type == REG_MULTI_SZ;
    AppendHex(out, lead + buffer, text ? AnsiToUtf16Bytes(value.data) : value.data);
  }
}

void AppendKey(std::string* out, const RegistryTree::Key& key, const std::string& path) {
  out->append("\n[" + AnsiToUtf8(path) + "]\n");
  for (const auto& [name, value] : key.values) AppendValue(out, name, value);
  for (const auto& child : key.subKeys) AppendKey(out, *child, path + "\\" + child->name);
}

}  // namespace

bool ParseRegistryText(std::string_view bytes, RegRoot root, RegistryTree* tree,
                       RegistryTextError* error) {
  std::optional<std::string> text = DecodeFile(bytes);
  if (!text) {
    *error = {0, "truncated UTF-16 text"};
    return false;
  }
  return Parser(root, tree).Run(*text, error);
}

int FindValueLine(std::string_view bytes, RegRoot root, std::string_view key,
                  std::string_view name) {
  std::optional<std::string> text = DecodeFile(bytes);
  if (!text) return 0;
  RegistryTree tree;
  RegistryTextError error;
  int line = 0;
  Parser parser(root, &tree);
  parser.SeekValue(key, name, &line);
  parser.Run(*text, &error);
  return line;
}

std::string FormatRegistryText(const RegistryTree& tree, RegRoot root) {
  std::string out(kHeader5);
  out.push_back('\n');
  std::string rootName = RegRootName(root);
  // The root's own values go under [ROOT]; subkeys follow depth first.
  if (!tree.root().values.empty()) {
    out.append("\n[" + rootName + "]\n");
    for (const auto& [name, value] : tree.root().values) AppendValue(&out, name, value);
  }
  for (const auto& child : tree.root().subKeys) {
    AppendKey(&out, *child, rootName + "\\" + child->name);
  }
  return out;
}

}  // namespace quorvel::platform
