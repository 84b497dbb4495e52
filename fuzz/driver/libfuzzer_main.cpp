// The libFuzzer entry of one target, chosen at build time by QUORVEL_FUZZ_TARGET (its
// name). A failed check aborts, so that libFuzzer keeps the input as a crash.
#include <cstdio>
#include <cstdlib>

#include "fuzz/fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const quorvel::FuzzTarget* target = quorvel::FindFuzzTarget(QUORVEL_FUZZ_TARGET);
  if (target == nullptr) {
    std::fprintf(stderr, "no fuzz target named %s\n", QUORVEL_FUZZ_TARGET);
    std::abort();
  }
  const std::string failure = target->run(quorvel::FuzzInput(data, size));
  if (!failure.empty()) {
    std::fprintf(stderr, "%s: %s\n", QUORVEL_FUZZ_TARGET, failure.c_str());
    std::abort();
  }
  return 0;
}
