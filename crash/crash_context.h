// What the reporter keeps of one fatal signal: its name, the fault address, this
// machine's registers, three word dumps and the frame-pointer walk. Plain data with a
// fixed size, filled inside the signal handler without allocating.
#ifndef QUORVEL_CRASH_CRASH_CONTEXT_H_
#define QUORVEL_CRASH_CRASH_CONTEXT_H_

#include <csignal>
#include <cstddef>
#include <cstdint>

#include "crash/machine_registers.h"

namespace quorvel::crash {

inline constexpr std::size_t kMaxDumpWords = 50;
inline constexpr std::size_t kMaxFrames = 200;

struct WordDump {
  std::size_t count = 0;
  std::uintptr_t words[kMaxDumpWords] = {};
};

struct StackFrame {
  std::uintptr_t address = 0;  // return address (the first: the instruction pointer)
  std::uintptr_t frame = 0;    // frame pointer of that frame
};

struct StackTrace {
  std::size_t count = 0;
  StackFrame frames[kMaxFrames] = {};
};

struct CrashContext {
  int signal = 0;
  int siCode = 0;
  std::uint32_t code = 0;      // exception code (exception_names.h)
  const char* name = "";       // its name; static text
  std::uintptr_t address = 0;  // the faulting address, else the instruction pointer
  MachineRegisters registers{};
  WordDump stackDump{};  // from the stack pointer
  WordDump frameDump{};  // from the frame pointer
  WordDump codeDump{};   // from the instruction pointer, bytes in memory order
  StackTrace trace{};
};

// Reads up to kMaxDumpWords words from `start`, stopping at the first that cannot be
// read. With `memoryOrder`, each word's bytes are reversed so that its hexadecimal
// text shows the bytes as they lie in memory. Async-signal-safe.
void DumpWords(std::uintptr_t start, bool memoryOrder, WordDump* dump);

// Follows the frame-pointer chain from (ip, fp): stores (address, frame) while the
// frame is aligned, its two words can be read and fewer than kMaxFrames pairs are
// stored; the next pair is the word above the frame and the word at it.
// Async-signal-safe.
void WalkStack(std::uintptr_t ip, std::uintptr_t fp, StackTrace* trace);

// Fills `out` from the handler's arguments. Async-signal-safe.
void CaptureContext(int signal, const siginfo_t* info, const void* ucontext, CrashContext* out);

}  // namespace quorvel::crash

#endif  // QUORVEL_CRASH_CRASH_CONTEXT_H_
