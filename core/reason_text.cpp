#include "core/reason_text.h"

#include <cstdio>

#include "platform/string_table.h"

namespace quorvel {

std::string FormatReason(unsigned id, std::string_view value, double number) {
  const std::string_view text = platform::LoadString(id);
  std::string out;
  out.reserve(text.size() + value.size() + 16);
  bool valueUsed = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const std::string_view rest = text.substr(i);
    if (rest.starts_with("%s") && !valueUsed) {
      out.append(value);
      valueUsed = true;
      ++i;
    } else if (rest.starts_with("%.2f")) {
      char buffer[64];
      const int n = std::snprintf(buffer, sizeof buffer, "%.2f", number);
      if (n > 0)
        out.append(buffer, static_cast<std::size_t>(n) < sizeof buffer ? n : sizeof buffer - 1);
      i += 3;
    } else if (rest.starts_with("%%")) {
      out.push_back('%');
      ++i;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

}  // namespace quorvel
