#include "crash/module_map.h"

#include <unistd.h>

#include <fstream>
#include <memory>
#include <string>

#include "gtest/gtest.h"
#include "testing/temporary_folder.h"

namespace quorvel::crash {
namespace {

void CodeOfThisProgram() {}

class ModuleMapTest : public ::testing::Test {
 protected:
  bool Load(const std::string& text) {
    std::ofstream(folder_.File("maps"), std::ios::binary) << text;
    return map_->Load(folder_.File("maps").c_str());
  }
  testing::TemporaryFolder folder_;
  std::unique_ptr<ModuleMap> map_ = std::make_unique<ModuleMap>();
};

TEST_F(ModuleMapTest, GroupsConsecutiveMappingsOfOneFile) {
  ASSERT_TRUE(
      Load("55d0a0000000-55d0a0001000 r--p 00000000 08:01 1 /opt/q/quorvel\n"
           "55d0a0001000-55d0a0005000 r-xp 00001000 08:01 1 /opt/q/quorvel\n"
           "55d0a0005000-55d0a0006000 rw-p 00005000 08:01 1 /opt/q/quorvel\n"
           "55d0a0006000-55d0a0010000 rw-p 00000000 00:00 0          [heap]\n"
           "7f1000000000-7f1000002000 r-xp 00000000 08:01 2  /lib/with space/libm.so.6\n"
           "7f1000002000-7f1000003000 rw-p 00000000 00:00 0\n"
           "7f1000003000-7f1000004000 r-xp 00000000 08:01 1 /opt/q/quorvel\n"
           "7ffd00000000-7ffd00001000 r-xp 00000000 00:00 0                  [vdso]"));
  ASSERT_EQ(map_->ModuleCount(), 3u);
  const Module first = map_->ModuleAt(0);
  EXPECT_EQ(first.base, 0x55d0a0000000u);
  EXPECT_EQ(first.size, 0x6000u);
  EXPECT_STREQ(first.path, "/opt/q/quorvel");
  EXPECT_STREQ(map_->ModuleAt(1).path, "/lib/with space/libm.so.6");
  EXPECT_EQ(map_->ModuleAt(1).size, 0x2000u);
  // The same file mapped again after another one is a module of its own.
  EXPECT_EQ(map_->ModuleAt(2).base, 0x7f1000003000u);

  struct Case {
    std::uintptr_t address;
    unsigned section;
    std::uintptr_t offset;
    const char* module;
  };
  const Case cases[] = {
      {0x55d0a0000000, 1, 0, "/opt/q/quorvel"},
      {0x55d0a0001234, 2, 0x234, "/opt/q/quorvel"},
      {0x55d0a0005fff, 3, 0xfff, "/opt/q/quorvel"},
      {0x55d0a0006000, 0, 0, ""},  // heap: no module
      {0x7f1000001000, 1, 0x1000, "/lib/with space/libm.so.6"},
      {0x7ffd00000010, 0, 0, ""},
      {0x10, 0, 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.address);
    const LogicalAddress found = map_->Find(c.address);
    EXPECT_EQ(found.section, c.section);
    EXPECT_EQ(found.offset, c.offset);
    EXPECT_STREQ(found.module, c.module);
  }
}

TEST_F(ModuleMapTest, DamagedLinesAreSkippedAndAMissingFileRefused) {
  ASSERT_TRUE(Load("garbage\n\n00400000 r-xp\n00400000-00401000 r-xp 0 0 0 /bin/a\n" +
                   std::string(20000, 'y') + "\n00500000-00501000 r-xp 0 0 0 /bin/b\n"));
  ASSERT_EQ(map_->ModuleCount(), 2u);
  EXPECT_STREQ(map_->ModuleAt(1).path, "/bin/b");
  EXPECT_FALSE(map_->Load(folder_.File("none").c_str()));
  EXPECT_EQ(map_->ModuleCount(), 0u);
}

TEST_F(ModuleMapTest, ThisProcessFindsItsOwnCode) {
  ASSERT_TRUE(map_->Load());
  const auto here = reinterpret_cast<std::uintptr_t>(&CodeOfThisProgram);
  const LogicalAddress found = map_->Find(here);
  EXPECT_GT(found.section, 0u);
  char self[4096] = {};
  ASSERT_GT(readlink("/proc/self/exe", self, sizeof self - 1), 0);
  EXPECT_STREQ(found.module, self);
}

}  // namespace
}  // namespace quorvel::crash
