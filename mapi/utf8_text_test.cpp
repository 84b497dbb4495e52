#include "mapi/utf8_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mapi/tags.h"

namespace quorvel::mapi {
namespace {

TEST(GetUtf8Test, PrefersTheUnicodeFormAndFallsBackToTheAnsiOne) {
  const PropValue wide = PropValue::Unicode(PR_UNICODE_SUBJECT, u"\u05e9\u05dc\u05d5\u05dd");
  const PropValue ansi = PropValue::String8(PR_SUBJECT, "Caf\xE9");
  const PropValue missing = PropValue::Error(PR_UNICODE_SUBJECT);
  const struct {
    std::vector<PropValue> values;
    std::string expected;
  } cases[] = {
      {{ansi, wide}, "\u05e9\u05dc\u05d5\u05dd"},
      {{missing, ansi}, "Caf\u00e9"},  // a store that has no Unicode form
      {{ansi}, "Caf\u00e9"},
      {{missing}, ""},
      {{PropValue::Long(PR_SUBJECT, 1)}, ""},  // neither is a string
  };
  for (const auto& c : cases) {
    EXPECT_EQ(GetUtf8(c.values, PR_UNICODE_SUBJECT, PR_SUBJECT), c.expected);
  }
}

}  // namespace
}  // namespace quorvel::mapi
