#include "crash/machine_registers.h"

#include <ucontext.h>

#include "crash/safe_writer.h"

namespace quorvel::crash {
namespace {

#if defined(__x86_64__)

constexpr const char* kGeneralNames[] = {"RAX", "RBX", "RCX", "RDX", "RSI", "RDI", "R8",
                                         "R9",  "R10", "R11", "R12", "R13", "R14", "R15"};
constexpr int kGeneralRegs[] = {REG_RAX, REG_RBX, REG_RCX, REG_RDX, REG_RSI, REG_RDI, REG_R8,
                                REG_R9,  REG_R10, REG_R11, REG_R12, REG_R13, REG_R14, REG_R15};

std::uint16_t ReadSegment(int which) {
  std::uint16_t value = 0;
  switch (which) {
    case 0:
      asm volatile("mov %%ss, %0" : "=r"(value));
      break;
    case 1:
      asm volatile("mov %%ds, %0" : "=r"(value));
      break;
    default:
      asm volatile("mov %%es, %0" : "=r"(value));
      break;
  }
  return value;
}

#elif defined(__aarch64__)

constexpr const char* kGeneralNames[] = {"X0",  "X1",  "X2",  "X3",  "X4",  "X5",  "X6",  "X7",
                                         "X8",  "X9",  "X10", "X11", "X12", "X13", "X14", "X15",
                                         "X16", "X17", "X18", "X19", "X20", "X21", "X22", "X23",
                                         "X24", "X25", "X26", "X27", "X28"};

#else
constexpr const char* kGeneralNames[] = {""};
#endif

constexpr std::size_t kNamedCount = sizeof kGeneralNames / sizeof kGeneralNames[0];
static_assert(kNamedCount <= MachineRegisters::kGeneralCount);

}  // namespace

void ReadMachineRegisters(const void* ucontext, MachineRegisters* out) {
  *out = MachineRegisters{};
  if (ucontext == nullptr) return;
  const auto* uc = static_cast<const ucontext_t*>(ucontext);
#if defined(__x86_64__)
  const greg_t* g = uc->uc_mcontext.gregs;
  for (std::size_t i = 0; i < kNamedCount; ++i) {
    out->general[i] = static_cast<std::uintptr_t>(g[kGeneralRegs[i]]);
  }
  out->ip = static_cast<std::uintptr_t>(g[REG_RIP]);
  out->sp = static_cast<std::uintptr_t>(g[REG_RSP]);
  out->fp = static_cast<std::uintptr_t>(g[REG_RBP]);
  out->flags = static_cast<std::uint64_t>(g[REG_EFL]);
  // CS, GS, FS and (on kernels that save it) SS, 16 bits each from the low end.
  const auto segments = static_cast<std::uint64_t>(g[REG_CSGSFS]);
  out->cs = static_cast<std::uint16_t>(segments);
  out->gs = static_cast<std::uint16_t>(segments >> 16);
  out->fs = static_cast<std::uint16_t>(segments >> 32);
  out->ss = static_cast<std::uint16_t>(segments >> 48);
  if (out->ss == 0) out->ss = ReadSegment(0);
  out->ds = ReadSegment(1);
  out->es = ReadSegment(2);
#elif defined(__aarch64__)
  const auto& m = uc->uc_mcontext;
  for (std::size_t i = 0; i < kNamedCount; ++i) out->general[i] = m.regs[i];
  out->fp = m.regs[29];
  out->link = m.regs[30];
  out->ip = m.pc;
  out->sp = m.sp;
  out->flags = m.pstate;
#else
  (void)uc;
#endif
}

void WriteRegisters(SafeWriter& out, const MachineRegisters& r) {
  out.Text("\r\nRegisters:\r\n");
  for (std::size_t i = 0; i < kNamedCount && kGeneralNames[i][0] != '\0'; ++i) {
    out.Text(kGeneralNames[i]).Text(":").Hex(r.general[i], kWordDigits).Text("\r\n");
  }
#if defined(__aarch64__)
  out.Text("PC:").Hex(r.ip, kWordDigits).Text("\r\n");
  out.Text("SP:").Hex(r.sp, kWordDigits).Text("  FP:").Hex(r.fp, kWordDigits).Text("\r\n");
  out.Text("LR:").Hex(r.link, kWordDigits).Text("\r\n");
#else
  out.Text("CS:RIP:").Hex(r.cs, 4).Text(":").Hex(r.ip, kWordDigits).Text("\r\n");
  out.Text("SS:RSP:").Hex(r.ss, 4).Text(":").Hex(r.sp, kWordDigits);
  out.Text("  RBP:").Hex(r.fp, kWordDigits).Text("\r\n");
  out.Text("DS:").Hex(r.ds, 4).Text("  ES:").Hex(r.es, 4);
  out.Text("  FS:").Hex(r.fs, 4).Text("  GS:").Hex(r.gs, 4).Text("\r\n");
#endif
  out.Text("Flags:").Hex(r.flags, 8).Text("\r\n");
  out.Flush();
}

}  // namespace quorvel::crash
