#include "crash/crash_context.h"

#include "crash/exception_names.h"
#include "crash/memory_probe.h"

namespace quorvel::crash {
namespace {

std::uintptr_t ReverseBytes(std::uintptr_t word) {
  std::uintptr_t out = 0;
  for (std::size_t i = 0; i < sizeof word; ++i) {
    out = (out << 8) | (word & 0xFF);
    word >>= 8;
  }
  return out;
}

}  // namespace

void DumpWords(std::uintptr_t start, bool memoryOrder, WordDump* dump) {
  dump->count = 0;
  for (std::size_t i = 0; i < kMaxDumpWords; ++i) {
    std::uintptr_t word = 0;
    if (!ReadWord(start + i * sizeof word, &word)) break;
    dump->words[dump->count++] = memoryOrder ? ReverseBytes(word) : word;
  }
}

void WalkStack(std::uintptr_t ip, std::uintptr_t fp, StackTrace* trace) {
  trace->count = 0;
  std::uintptr_t address = ip;
  std::uintptr_t frame = fp;
  while (trace->count < kMaxFrames && frame % sizeof(std::uintptr_t) == 0) {
    std::uintptr_t pair[2];  // the caller's frame, the return address
    if (!ReadMemory(frame, pair, sizeof pair)) break;
    trace->frames[trace->count++] = {address, frame};
    address = pair[1];
    frame = pair[0];
  }
}

void CaptureContext(int signal, const siginfo_t* info, const void* ucontext, CrashContext* out) {
  out->signal = signal;
  out->siCode = info ? info->si_code : 0;
  ReadMachineRegisters(ucontext, &out->registers);
  const MachineRegisters& r = out->registers;
  const bool hardware = info && info->si_code > 0 && signal != SIGABRT;
  out->address = hardware && signal != SIGILL && signal != SIGFPE
                     ? reinterpret_cast<std::uintptr_t>(info->si_addr)
                     : r.ip;
  const ExceptionName name =
      NameException(signal, hardware ? out->siCode : 0, hardware ? out->address : 0, r.sp);
  out->code = name.code;
  out->name = name.name;
  DumpWords(r.sp, false, &out->stackDump);
  DumpWords(r.fp, false, &out->frameDump);
  DumpWords(r.ip, true, &out->codeDump);
  WalkStack(r.ip, r.fp, &out->trace);
}

}  // namespace quorvel::crash
