// Reads this process's memory without faulting: a word that is not mapped or not
// readable is reported as unreadable instead of raising a signal.
// Async-signal-safe (process_vm_readv on the process itself, falling back to copying
// through a pipe made by PrepareMemoryProbe when that call is refused).
#ifndef QUORVEL_CRASH_MEMORY_PROBE_H_
#define QUORVEL_CRASH_MEMORY_PROBE_H_

#include <cstddef>
#include <cstdint>

namespace quorvel::crash {

// Makes the fallback pipe. Call once before the first ReadMemory that may need it (the
// reporter does so when it is installed); not async-signal-safe.
void PrepareMemoryProbe();

// Copies `size` bytes at `address` into `out`. False, with nothing promised about
// `out`, when any of them cannot be read.
bool ReadMemory(std::uintptr_t address, void* out, std::size_t size);

inline bool ReadWord(std::uintptr_t address, std::uintptr_t* word) {
  return ReadMemory(address, word, sizeof *word);
}

}  // namespace quorvel::crash

#endif  // QUORVEL_CRASH_MEMORY_PROBE_H_
