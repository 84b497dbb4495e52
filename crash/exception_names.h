// The name a fatal signal gets in the exception report: the window system's exception
// code and constant name nearest to the signal and its si_code. docs/architecture.md
// lists the table. Async-signal-safe: a lookup in constant data.
#ifndef QUORVEL_CRASH_EXCEPTION_NAMES_H_
#define QUORVEL_CRASH_EXCEPTION_NAMES_H_

#include <cstdint>

namespace quorvel::crash {

struct ExceptionName {
  std::uint32_t code;
  const char* name;
};

// `faultAddress` and `stackPointer` tell a stack overflow (a segmentation fault within
// 64 KiB of the stack pointer) from another access violation.
ExceptionName NameException(int signal, int siCode, std::uintptr_t faultAddress,
                            std::uintptr_t stackPointer);

}  // namespace quorvel::crash

#endif  // QUORVEL_CRASH_EXCEPTION_NAMES_H_
