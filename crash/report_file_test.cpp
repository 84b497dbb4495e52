#include "crash/report_file.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>

#include "crash/crash_context.h"
#include "crash/module_map.h"
#include "gtest/gtest.h"
#include "testing/file_bytes.h"
#include "testing/temporary_folder.h"

namespace quorvel::crash {
namespace {

constexpr const char* kMaps =
    "00400000-00401000 r--p 00000000 08:01 42                 /usr/bin/quorvel\n"
    "00401000-00403000 r-xp 00001000 08:01 42                 /usr/bin/quorvel\n"
    "7f0000000000-7f0000001000 rw-p 00000000 00:00 0 \n"
    "7f0000001000-7f0000002000 r-xp 00000000 08:01 7          /lib/libc.so.6\n";

#if defined(__x86_64__)
TEST(ReportLayoutTest, WritesEveryPieceInOrder) {
  testing::TemporaryFolder folder;
  testing::Spit(folder.File("maps"), kMaps);
  auto modules = std::make_unique<ModuleMap>();
  ASSERT_TRUE(modules->Load(folder.File("maps").c_str()));

  CrashContext c;
  c.code = 0xC0000005u;
  c.name = "ACCESS_VIOLATION";
  c.address = 0x401010;
  for (std::size_t i = 0; i < 14; ++i) c.registers.general[i] = i + 1;
  c.registers.ip = 0x401010;
  c.registers.sp = 0x7FFC0000;
  c.registers.fp = 0x7FFC0010;
  c.registers.flags = 0x10246;
  c.registers.cs = 0x33;
  c.registers.ss = 0x2B;
  c.stackDump.count = 2;
  c.stackDump.words[0] = 1;
  c.stackDump.words[1] = 0xDEADBEEF;
  c.codeDump.count = 1;
  c.codeDump.words[0] = 0x0F0B000000000000u;
  c.trace.count = 2;
  c.trace.frames[0] = {0x401010, 0x7FFC0010};
  c.trace.frames[1] = {0x7f0000001abc, 0x7FFC0040};

  ReportTexts texts;
  texts.version = "0.1.0";
  texts.systemText = "Linux Test (build 1.2)";
  texts.hostText = " Quorvel host 0.1.0";
  texts.compiledOn = "Dec  8 2026";
  texts.time = {8, 12, 2026, 6, 5, 4, 7};

  const int fd = OpenReportFile(folder.File(kReportFileName).c_str());
  ASSERT_GE(fd, 0);
  EXPECT_TRUE(WriteReport(fd, c, texts, *modules));
  close(fd);

  const std::string expected =
      "=========================================================\r\n"
      "************Quorvel 0.1.0 Exception Report*************\r\n"
      "=========================================================\r\n\r\n"
      "Operation System: Linux Test (build 1.2)\r\n"
      "Outlook Version: Quorvel host 0.1.0\r\n"
      "Compilation Time:  Dec  8 2026\r\n"
      "Exception Time: Exception Time is 08/12/2026,06:05:04:007\r\n\r\n\r\n"
      "Exception code: C0000005 ACCESS_VIOLATION\r\n"
      "Fault address:  0000000000401010 0002:00000010 /usr/bin/quorvel\r\n"
      "\r\nRegisters:\r\n"
      "RAX:0000000000000001\r\nRBX:0000000000000002\r\nRCX:0000000000000003\r\n"
      "RDX:0000000000000004\r\nRSI:0000000000000005\r\nRDI:0000000000000006\r\n"
      "R8:0000000000000007\r\nR9:0000000000000008\r\nR10:0000000000000009\r\n"
      "R11:000000000000000A\r\nR12:000000000000000B\r\nR13:000000000000000C\r\n"
      "R14:000000000000000D\r\nR15:000000000000000E\r\n"
      "CS:RIP:0033:0000000000401010\r\n"
      "SS:RSP:002B:000000007FFC0000  RBP:000000007FFC0010\r\n"
      "DS:0000  ES:0000  FS:0000  GS:0000\r\n"
      "Flags:00010246\r\n"
      "\r\nRSP dump:\r\n0x00000000000000010x00000000DEADBEEF"
      "\r\n\r\nRBP dump:\r\n"
      "\r\n\r\nRIP dump:\r\n0x0F0B000000000000"
      "\r\n\r\nCall stack:\r\n"
      "\tAddress           Frame             Logical addr  Module\r\n"
      "\t0000000000401010  000000007FFC0010  0002:00000010 /usr/bin/quorvel\r\n"
      "\t00007F0000001ABC  000000007FFC0040  0001:00000ABC /lib/libc.so.6\r\n"
      "\r\nList of loaded modules:\r\n\tBase Address\tModule Size\tModule Name\r\n"
      "\t0000000000400000\t0000000000003000\t/usr/bin/quorvel\r\n"
      "\t00007F0000001000\t0000000000001000\t/lib/libc.so.6\r\n"
      "\r\n";
  EXPECT_EQ(testing::Slurp(folder.File(kReportFileName)), expected);
}
#endif

TEST(ReportFileTest, LargeFileIsEmptiedSmallerOneAppendedTo) {
  struct Case {
    std::size_t before;
    bool kept;
  };
  for (const Case& c : {Case{200000, false}, Case{100000, true},
                        Case{static_cast<std::size_t>(kReportRestartSize) - 1, true},
                        Case{static_cast<std::size_t>(kReportRestartSize), false}, Case{0, true}}) {
    SCOPED_TRACE(c.before);
    testing::TemporaryFolder folder;
    const std::string path = folder.File(kReportFileName);
    testing::Spit(path, std::string(c.before, 'x'));
    const int fd = OpenReportFile(path.c_str());
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, "NEW", 3), 3);
    close(fd);
    const std::string after = testing::Slurp(path);
    EXPECT_EQ(after, (c.kept ? std::string(c.before, 'x') : std::string()) + "NEW");
  }
}

TEST(ReportFileTest, UnopenablePathGivesNoDescriptor) {
  testing::TemporaryFolder folder;
  EXPECT_EQ(OpenReportFile(folder.File("missing/ExceptionReport.txt").c_str()), -1);
  // A link is not followed: the report never lands where someone else points it.
  ASSERT_EQ(symlink(folder.File("elsewhere").c_str(), folder.File("link").c_str()), 0);
  EXPECT_EQ(OpenReportFile(folder.File("link").c_str()), -1);
  EXPECT_NE(access(folder.File("elsewhere").c_str(), F_OK), 0);
}

TEST(ReportTimeTest, BreaksDownLocalTime) {
  struct Case {
    std::int64_t ms;
    long offset;
    ReportTime want;
  };
  const Case cases[] = {
      {0, 0, {1, 1, 1970, 0, 0, 0, 0}},
      {951786123004, 0, {29, 2, 2000, 1, 2, 3, 4}},
      {1765173904007, 3600, {8, 12, 2025, 7, 5, 4, 7}},
      {1767225599999, 0, {31, 12, 2025, 23, 59, 59, 999}},
      {1767225599999, 1, {1, 1, 2026, 0, 0, 0, 999}},
      {-1, 0, {31, 12, 1969, 23, 59, 59, 999}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ms);
    const ReportTime t = BreakDownTime(c.ms, c.offset);
    EXPECT_EQ(t.day, c.want.day);
    EXPECT_EQ(t.month, c.want.month);
    EXPECT_EQ(t.year, c.want.year);
    EXPECT_EQ(t.hour, c.want.hour);
    EXPECT_EQ(t.minute, c.want.minute);
    EXPECT_EQ(t.second, c.want.second);
    EXPECT_EQ(t.millisecond, c.want.millisecond);
  }
}

// Two pages, the second made unreadable: dumps and walks stop at its edge.
class UnreadableMemoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    page_ = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    void* memory =
        mmap(nullptr, 2 * page_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(memory, MAP_FAILED);
    base_ = static_cast<std::uintptr_t*>(memory);
    ASSERT_EQ(mprotect(static_cast<char*>(memory) + page_, page_, PROT_NONE), 0);
  }
  void TearDown() override { munmap(base_, 2 * page_); }
  std::uintptr_t* EndOfReadable() const { return base_ + page_ / sizeof(std::uintptr_t); }

  std::size_t page_ = 0;
  std::uintptr_t* base_ = nullptr;
};

TEST_F(UnreadableMemoryTest, DumpStopsAtFirstUnreadableWord) {
  std::uintptr_t* start = EndOfReadable() - 3;
  start[0] = 0x1122334455667788u;
  start[1] = 2;
  start[2] = 3;
  WordDump dump;
  DumpWords(reinterpret_cast<std::uintptr_t>(start), false, &dump);
  ASSERT_EQ(dump.count, 3u);
  EXPECT_EQ(dump.words[0], 0x1122334455667788u);
  EXPECT_EQ(dump.words[2], 3u);

  DumpWords(reinterpret_cast<std::uintptr_t>(start), true, &dump);
  EXPECT_EQ(dump.words[0], 0x8877665544332211u);  // memory order

  DumpWords(reinterpret_cast<std::uintptr_t>(EndOfReadable()), false, &dump);
  EXPECT_EQ(dump.count, 0u);
  DumpWords(0, false, &dump);
  EXPECT_EQ(dump.count, 0u);
  DumpWords(reinterpret_cast<std::uintptr_t>(base_), false, &dump);
  EXPECT_EQ(dump.count, kMaxDumpWords);
}

TEST_F(UnreadableMemoryTest, WalkEndsAtUnreadableMisalignedOrNullFrame) {
  // frame A -> frame B whose pair straddles into the unreadable page.
  std::uintptr_t* b = EndOfReadable() - 1;
  std::uintptr_t* a = base_;
  a[0] = reinterpret_cast<std::uintptr_t>(b);
  a[1] = 0xAAAA;
  StackTrace trace;
  WalkStack(0x1234, reinterpret_cast<std::uintptr_t>(a), &trace);
  ASSERT_EQ(trace.count, 1u);
  EXPECT_EQ(trace.frames[0].address, 0x1234u);

  a[0] = reinterpret_cast<std::uintptr_t>(base_ + 4) + 1;  // misaligned
  WalkStack(0x1234, reinterpret_cast<std::uintptr_t>(a), &trace);
  EXPECT_EQ(trace.count, 1u);

  a[0] = 0;
  WalkStack(0x1234, reinterpret_cast<std::uintptr_t>(a), &trace);
  EXPECT_EQ(trace.count, 1u);
  WalkStack(0x1234, 0, &trace);
  EXPECT_EQ(trace.count, 0u);
}

TEST(StackWalkTest, LoopingChainIsCutAtTheLimitAndSaysStackOverflow) {
  // Two frames that name each other.
  alignas(16) std::uintptr_t one[2];
  alignas(16) std::uintptr_t two[2];
  one[0] = reinterpret_cast<std::uintptr_t>(two);
  one[1] = 0x1111;
  two[0] = reinterpret_cast<std::uintptr_t>(one);
  two[1] = 0x2222;
  CrashContext c;
  WalkStack(0x9999, reinterpret_cast<std::uintptr_t>(one), &c.trace);
  ASSERT_EQ(c.trace.count, kMaxFrames);
  EXPECT_EQ(c.trace.frames[1].address, 0x1111u);
  EXPECT_EQ(c.trace.frames[199].frame, reinterpret_cast<std::uintptr_t>(two));

  testing::TemporaryFolder folder;
  const int fd = OpenReportFile(folder.File(kReportFileName).c_str());
  ASSERT_GE(fd, 0);
  ModuleMap* modules = new ModuleMap;  // large: kept off the test's stack
  WriteReport(fd, c, ReportTexts{}, *modules);
  delete modules;
  close(fd);
  const std::string report = testing::Slurp(folder.File(kReportFileName));
  EXPECT_NE(report.find("  0000:00000000 \r\nStack Overflow.\r\n\r\nList of loaded modules:"),
            std::string::npos);
}

}  // namespace
}  // namespace quorvel::crash
