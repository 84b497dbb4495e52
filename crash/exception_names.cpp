#include "crash/exception_names.h"

#include <csignal>

namespace quorvel::crash {
namespace {

constexpr int kAnyCode = -1000;

struct Entry {
  int signal;
  int siCode;  // kAnyCode: every code not listed before
  ExceptionName name;
};

constexpr ExceptionName kAccessViolation{0xC0000005u, "ACCESS_VIOLATION"};
constexpr ExceptionName kStackOverflow{0xC00000FDu, "STACK_OVERFLOW"};

// First match wins; each signal ends with its catch-all row.
constexpr Entry kTable[] = {
    {SIGSEGV, SEGV_BNDERR, {0xC000008Cu, "ARRAY_BOUNDS_EXCEEDED"}},
    {SIGSEGV, kAnyCode, kAccessViolation},
    {SIGBUS, BUS_ADRALN, {0x80000002u, "DATATYPE_MISALIGNMENT"}},
    {SIGBUS, kAnyCode, {0xC0000006u, "IN_PAGE_ERROR"}},
    {SIGILL, ILL_PRVOPC, {0xC0000096u, "PRIV_INSTRUCTION"}},
    {SIGILL, ILL_PRVREG, {0xC0000096u, "PRIV_INSTRUCTION"}},
    {SIGILL, kAnyCode, {0xC000001Du, "ILLEGAL_INSTRUCTION"}},
    {SIGFPE, FPE_INTDIV, {0xC0000094u, "INT_DIVIDE_BY_ZERO"}},
    {SIGFPE, FPE_INTOVF, {0xC0000095u, "INT_OVERFLOW"}},
    {SIGFPE, FPE_FLTDIV, {0xC000008Eu, "FLT_DIVIDE_BY_ZERO"}},
    {SIGFPE, FPE_FLTOVF, {0xC0000091u, "FLT_OVERFLOW"}},
    {SIGFPE, FPE_FLTUND, {0xC0000093u, "FLT_UNDERFLOW"}},
    {SIGFPE, FPE_FLTRES, {0xC000008Fu, "FLT_INEXACT_RESULT"}},
    {SIGFPE, FPE_FLTSUB, {0xC000008Cu, "ARRAY_BOUNDS_EXCEEDED"}},
    {SIGFPE, kAnyCode, {0xC0000090u, "FLT_INVALID_OPERATION"}},
    // No exception constant of its own: the system's text for the signal.
    {SIGABRT, kAnyCode, {0x40000015u, "Aborted"}},
};

constexpr std::uintptr_t kStackSlack = 64 * 1024;

}  // namespace

ExceptionName NameException(int signal, int siCode, std::uintptr_t faultAddress,
                            std::uintptr_t stackPointer) {
  for (const Entry& entry : kTable) {
    if (entry.signal != signal || (entry.siCode != kAnyCode && entry.siCode != siCode)) continue;
    const bool nearStack = faultAddress + kStackSlack >= stackPointer &&
                           faultAddress <= stackPointer + kStackSlack && stackPointer != 0;
    if (signal == SIGSEGV && siCode > 0 && nearStack) return kStackOverflow;
    return entry.name;
  }
  return {0xE0000000u | static_cast<std::uint32_t>(signal), "Unknown signal"};
}

}  // namespace quorvel::crash
