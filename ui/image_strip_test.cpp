#include "ui/image_strip.h"

#include <gtest/gtest.h>

namespace quorvel::ui {
namespace {

constexpr const char* kStrip = R"(/* XPM */
static char *s[] = {
"4 2 3 1",
". c #C0C0C0",
"a c #FF0000",
"b c #0000FF",
"a.bb",
".abb"
};
)";

TEST(ImageStripTest, AFaceIsItsSquareWithTheTransparentColourAsNone) {
  EXPECT_EQ(XpmFace(kStrip, 1, 2, "#C0C0C0"),
            "/* XPM */\nstatic char *face[] = {\n\"2 2 3 1\",\n\". c None\",\n\"a c #FF0000\",\n"
            "\"b c #0000FF\",\n\"bb\",\n\"bb\"\n};\n");
  EXPECT_NE(XpmFace(kStrip, 0, 2, "#C0C0C0").find("\"a.\",\n\".a\""), std::string::npos);
}

TEST(ImageStripTest, ABrokenStripOrAFaceOutsideItGivesNone) {
  EXPECT_EQ(XpmFace(kStrip, 2, 2, "#C0C0C0"), "");
  EXPECT_EQ(XpmFace(kStrip, -1, 2, "#C0C0C0"), "");
  EXPECT_EQ(XpmFace("", 0, 2, "#C0C0C0"), "");
  EXPECT_EQ(XpmFace(R"("4 2 3 1", ". c #C0C0C0", "a.bb")", 0, 2, "#C0C0C0"), "");  // rows missing
  EXPECT_EQ(XpmFace(R"("4 x 3 1")", 0, 2, "#C0C0C0"), "");
  EXPECT_EQ(XpmFace(R"("4 2 1 1", ". c #C0C0C0", "a.", ".a")", 0, 2, "#C0C0C0"), "");  // short rows
}

}  // namespace
}  // namespace quorvel::ui
