#include "mapi/mime/filter_fields.h"

#include <gmime/gmime.h>

#include <memory>

namespace quorvel::mapi {
namespace {

constexpr std::string_view kFromLine = "From ";

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (LowerAscii(text[i]) != prefix[i]) return false;
  }
  return true;
}

// The end of the line that starts at `pos`: one past its LF, or the end of the text.
std::size_t LineEndAfter(std::string_view text, std::size_t pos) {
  const std::size_t lf = text.find('\n', pos);
  return lf == std::string_view::npos ? text.size() : lf + 1;
}

// The field name of a line that starts a field ("" for any other line): the text
// before the colon, without the blanks the obsolete syntax allows before it.
std::string_view FieldName(std::string_view line) {
  const std::size_t colon = line.find(':');
  if (colon == std::string_view::npos) return {};
  std::string_view name = line.substr(0, colon);
  while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) name.remove_suffix(1);
  for (char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 32 || byte >= 127) return {};
  }
  return name;
}

struct GFree {
  void operator()(char* p) const { g_free(p); }
};
using GString = std::unique_ptr<char, GFree>;

GMimeFormatOptions* FoldOptions() {
  static GMimeFormatOptions* options = [] {
    g_mime_init();
    return g_mime_format_options_new();
  }();
  return options;
}

}  // namespace

std::string_view MessageLineEnd(std::string_view message) {
  const std::size_t lf = message.find('\n');
  return (lf != std::string_view::npos && lf > 0 && message[lf - 1] == '\r') ? "\r\n" : "\n";
}

std::string FormatHeaderField(std::string_view name, std::string_view value,
                              std::string_view lineEnd) {
  std::string text(value);
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 32 || c == 127) c = ' ';
  }
  GMimeFormatOptions* options = FoldOptions();
  const GString encoded(g_mime_utils_header_encode_text(options, text.c_str(), "utf-8"));
  const std::string field = std::string(name) + ": " + (encoded ? encoded.get() : "");
  const GString folded(g_mime_utils_unstructured_header_fold(nullptr, options, field.c_str()));
  std::string_view lines = folded ? std::string_view(folded.get()) : std::string_view(field);
  // GMime ends every line with LF; the message's own line end replaces it.
  std::string out;
  while (!lines.empty()) {
    const std::size_t end = LineEndAfter(lines, 0);
    std::string_view line = lines.substr(0, end);
    if (line.ends_with('\n')) line.remove_suffix(1);
    if (line.ends_with('\r')) line.remove_suffix(1);
    out.append(line).append(lineEnd);
    lines.remove_prefix(end);
  }
  return out;
}

bool IsReplacedField(std::string_view name) {
  return StartsWithNoCase(name, "x-quorvel-") ||
         (name.size() == 11 && StartsWithNoCase(name, "x-spam-flag"));
}

StampedHead StampMessage(std::string_view message, std::string_view addedFields) {
  StampedHead out;
  std::size_t pos = 0;
  if (message.starts_with(kFromLine)) pos = LineEndAfter(message, 0);
  out.head.reserve(pos + addedFields.size() + 4096);
  out.head.append(message.substr(0, pos)).append(addedFields);
  // Copies runs of kept lines; a replaced field is skipped with its continuations.
  std::size_t keptFrom = pos;
  bool dropping = false;
  while (pos < message.size()) {
    const std::size_t end = LineEndAfter(message, pos);
    const std::string_view line = message.substr(pos, end - pos);
    if (line == "\n" || line == "\r\n") break;
    const bool continuation = line[0] == ' ' || line[0] == '\t';
    if (!continuation) {
      const bool drop = IsReplacedField(FieldName(line));
      if (drop && !dropping) out.head.append(message.substr(keptFrom, pos - keptFrom));
      if (!drop && dropping) keptFrom = pos;
      dropping = drop;
    }
    pos = end;
  }
  if (!dropping) out.head.append(message.substr(keptFrom, pos - keptFrom));
  out.rest = pos;
  return out;
}

}  // namespace quorvel::mapi
