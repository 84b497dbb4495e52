// The module's string table: the system's own texts (reasons, messages, captions),
// each under its number, declared once in string_table.cpp.
#ifndef QUORVEL_PLATFORM_STRING_TABLE_H_
#define QUORVEL_PLATFORM_STRING_TABLE_H_

#include <string_view>

namespace quorvel::platform {

// The product name, the caption of every message box.
inline constexpr std::string_view kProductName = "Quorvel";

// The text under `id` (ANSI code page), or an empty view when the table has none.
std::string_view LoadString(unsigned id);

}  // namespace quorvel::platform

#endif  // QUORVEL_PLATFORM_STRING_TABLE_H_
