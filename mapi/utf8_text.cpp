#include "mapi/utf8_text.h"

#include "platform/code_page.h"

namespace quorvel::mapi {

std::string GetUtf8(const std::vector<PropValue>& values, PropTag unicodeTag, PropTag ansiTag) {
  if (const PropValue* v = FindProp(values, unicodeTag); v && v->AsUnicode()) {
    return platform::WideToUtf8(*v->AsUnicode());
  }
  if (const PropValue* v = FindProp(values, ansiTag); v && v->AsString8()) {
    return platform::AnsiToUtf8(*v->AsString8());
  }
  return {};
}

}  // namespace quorvel::mapi
