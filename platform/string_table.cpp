#include "platform/string_table.h"

#include <algorithm>
#include <iterator>

namespace quorvel::platform {
namespace {

struct Entry {
  unsigned id;
  std::string_view text;
};

// Sorted by id. Texts are exactly as the user sees them; "%s" and similar
// placeholders are filled by the caller.
constexpr Entry kStrings[] = {
    {0, ""},  // placeholder so the table is never empty; LoadString(0) gives ""
};

}  // namespace

std::string_view LoadString(unsigned id) {
  auto it = std::lower_bound(std::begin(kStrings), std::end(kStrings), id,
                             [](const Entry& e, unsigned key) { return e.id < key; });
  if (it == std::end(kStrings) || it->id != id) return {};
  return it->text;
}

}  // namespace quorvel::platform
