#include "mapi/mime/mime_converters.h"

#include <gmime/gmime.h>

#include <mutex>
#include <string>
#include <unordered_map>

namespace quorvel::mapi {
namespace {

constexpr std::size_t kMaxHeldConverters = 64;

}  // namespace

void KeepConverterLoaded(std::string_view charset) {
  static std::mutex mutex;
  static auto* held = new std::unordered_map<std::string, GIConv>();  // never freed
  if (charset.empty() || charset.size() > 40) return;
  std::string name(charset);
  for (char& c : name) c = g_ascii_tolower(c);
  std::lock_guard<std::mutex> lock(mutex);
  if (held->size() >= kMaxHeldConverters || held->count(name) > 0) return;
  // To the C library's own wide characters: one conversion step, so no step buffer
  // (a descriptor to UTF-8 holds some 32 KB), and the module stays loaded all the same.
  const char* from = g_mime_charset_iconv_name(name.c_str());
  GIConv cd = g_iconv_open("WCHAR_T", from);
  if (cd == reinterpret_cast<GIConv>(-1)) cd = g_iconv_open("UTF-8", from);
  (*held)[name] = cd;  // a failed open is remembered too, so it is not retried
}

// The charsets named by encoded words ("=?charset?...") in a raw header value.
void KeepEncodedWordConvertersLoaded(std::string_view raw) {
  std::size_t pos = 0;
  while ((pos = raw.find("=?", pos)) != std::string_view::npos) {
    pos += 2;
    std::size_t end = raw.find('?', pos);
    if (end == std::string_view::npos) return;
    std::string_view charset = raw.substr(pos, end - pos);
    std::size_t star = charset.find('*');  // RFC 2231 language suffix
    KeepConverterLoaded(charset.substr(0, star));
    pos = end + 1;
  }
}

}  // namespace quorvel::mapi
