#include "core/reason_text.h"

#include <algorithm>
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

std::string_view ReasonFirstLine(std::string_view reason) {
  return reason.substr(0, std::min(reason.find_first_of("\r\n"), reason.size()));
}

std::string_view BayesScoreInReason(std::string_view reason) {
  const std::string_view text = platform::LoadString(kReasonBayesScore);
  const std::size_t placeholder = text.find("%.2f");
  if (placeholder == std::string_view::npos) return {};
  const std::string_view before = text.substr(0, placeholder);
  const std::string_view after = text.substr(placeholder + 4, 2);  // the line end after it
  if (!reason.starts_with(before)) return {};
  const std::string_view rest = reason.substr(before.size());
  const std::size_t end = rest.find(after);
  if (end == std::string_view::npos || end == 0) return {};
  const std::string_view score = rest.substr(0, end);
  for (char c : score) {
    if ((c < '0' || c > '9') && c != '.' && c != '-') return {};
  }
  return score;
}

}  // namespace quorvel
