#include "crash/exception_names.h"

#include <csignal>
#include <string>

#include "gtest/gtest.h"

namespace quorvel::crash {
namespace {

TEST(ExceptionNamesTest, EachSignalAndCodeGetsTheNearestName) {
  struct Case {
    int signal;
    int siCode;
    std::uintptr_t address;
    std::uintptr_t sp;
    std::uint32_t code;
    const char* name;
  };
  const std::uintptr_t sp = 0x7ffc00010000;
  const Case cases[] = {
      {SIGSEGV, SEGV_MAPERR, 0, sp, 0xC0000005u, "ACCESS_VIOLATION"},
      {SIGSEGV, SEGV_ACCERR, 0x401000, sp, 0xC0000005u, "ACCESS_VIOLATION"},
      {SIGSEGV, SI_KERNEL, 0, sp, 0xC0000005u, "ACCESS_VIOLATION"},
      {SIGSEGV, SEGV_MAPERR, sp - 8, sp, 0xC00000FDu, "STACK_OVERFLOW"},
      {SIGSEGV, SEGV_MAPERR, sp - 4096, sp, 0xC00000FDu, "STACK_OVERFLOW"},
      {SIGSEGV, SEGV_MAPERR, sp - 1024 * 1024, sp, 0xC0000005u, "ACCESS_VIOLATION"},
      {SIGSEGV, SI_USER, sp, sp, 0xC0000005u, "ACCESS_VIOLATION"},  // sent: no overflow
      {SIGSEGV, SEGV_BNDERR, 0, sp, 0xC000008Cu, "ARRAY_BOUNDS_EXCEEDED"},
      {SIGBUS, BUS_ADRALN, 1, sp, 0x80000002u, "DATATYPE_MISALIGNMENT"},
      {SIGBUS, BUS_ADRERR, 1, sp, 0xC0000006u, "IN_PAGE_ERROR"},
      {SIGILL, ILL_ILLOPN, 0, sp, 0xC000001Du, "ILLEGAL_INSTRUCTION"},
      {SIGILL, ILL_PRVOPC, 0, sp, 0xC0000096u, "PRIV_INSTRUCTION"},
      {SIGFPE, FPE_INTDIV, 0, sp, 0xC0000094u, "INT_DIVIDE_BY_ZERO"},
      {SIGFPE, FPE_INTOVF, 0, sp, 0xC0000095u, "INT_OVERFLOW"},
      {SIGFPE, FPE_FLTDIV, 0, sp, 0xC000008Eu, "FLT_DIVIDE_BY_ZERO"},
      {SIGFPE, FPE_FLTUND, 0, sp, 0xC0000093u, "FLT_UNDERFLOW"},
      {SIGFPE, FPE_FLTINV, 0, sp, 0xC0000090u, "FLT_INVALID_OPERATION"},
      {SIGABRT, SI_TKILL, 0, sp, 0x40000015u, "Aborted"},
      {SIGTERM, SI_USER, 0, sp, 0xE000000Fu, "Unknown signal"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.signal) + "/" + std::to_string(c.siCode));
    const ExceptionName got = NameException(c.signal, c.siCode, c.address, c.sp);
    EXPECT_EQ(got.code, c.code);
    EXPECT_STREQ(got.name, c.name);
  }
}

}  // namespace
}  // namespace quorvel::crash
