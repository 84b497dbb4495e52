#include "app/printable.h"

#include <gtest/gtest.h>

#include <string>

namespace quorvel::app {
namespace {

// A name with an escape sequence in it recoloured the terminal or cleared it when
// classify printed it; only tab and line ends were escaped.
TEST(PrintableTest, EveryControlCharacterBecomesVisible) {
  struct Case {
    std::string in;
    std::string printable;
    std::string field;
  } cases[] = {
      {"plain/name.eml", "plain/name.eml", "plain/name.eml"},
      {"a\tb\nc\rd", "a\\tb\\nc\\rd", "a\\tb\\nc\\rd"},
      {"back\\slash", "back\\slash", "back\\\\slash"},
      {"\x1b[2J\x1b]0;title\x07", "\\x1b[2J\\x1b]0;title\\x07", "\\x1b[2J\\x1b]0;title\\x07"},
      {std::string("nul\0here", 8), "nul\\x00here", "nul\\x00here"},
      {"del\x7f", "del\\x7f", "del\\x7f"},
      {"csi\xc2\x9b"
       "31m",
       "csi\\xc2\\x9b31m", "csi\\xc2\\x9b31m"},  // U+009B
      {"caf\xc3\xa9 \xc2\xa0nbsp", "caf\xc3\xa9 \xc2\xa0nbsp", "caf\xc3\xa9 \xc2\xa0nbsp"},
      {"latin1 caf\xe9", "latin1 caf\xe9", "latin1 caf\xe9"},  // invalid UTF-8 is kept
      {"ends in \xc2", "ends in \xc2", "ends in \xc2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(Printable(c.in), c.printable);
    EXPECT_EQ(EscapedField(c.in), c.field);
  }
}

}  // namespace
}  // namespace quorvel::app
