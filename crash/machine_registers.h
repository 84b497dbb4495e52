// This machine's registers as the signal context holds them, and their block of the
// exception report in the style of the report's 32-bit layout, widened to this
// machine's word (x86-64: RAX..R15, CS:RIP, SS:RSP with RBP, the data segments and the
// flags; AArch64: X0..X28, PC, SP with the frame pointer, LR and PSTATE).
// Async-signal-safe.
#ifndef QUORVEL_CRASH_MACHINE_REGISTERS_H_
#define QUORVEL_CRASH_MACHINE_REGISTERS_H_

#include <cstddef>
#include <cstdint>

namespace quorvel::crash {

class SafeWriter;

struct MachineRegisters {
  static constexpr std::size_t kGeneralCount = 29;
  std::uintptr_t general[kGeneralCount] = {};  // in the order of the report's lines
  std::uintptr_t ip = 0;
  std::uintptr_t sp = 0;
  std::uintptr_t fp = 0;
  std::uintptr_t link = 0;  // AArch64's LR; unused on x86-64
  std::uint64_t flags = 0;
  std::uint16_t cs = 0, ss = 0, ds = 0, es = 0, fs = 0, gs = 0;  // x86-64 only
};

// `ucontext` is the handler's third argument (a ucontext_t).
void ReadMachineRegisters(const void* ucontext, MachineRegisters* out);

// "Registers:" and the lines under it, each ended by "\r\n".
void WriteRegisters(SafeWriter& out, const MachineRegisters& registers);

// Hexadecimal digits of one word on this machine (16 on 64-bit).
inline constexpr int kWordDigits = static_cast<int>(sizeof(std::uintptr_t) * 2);

}  // namespace quorvel::crash

#endif  // QUORVEL_CRASH_MACHINE_REGISTERS_H_
