// The fuzz targets: one per parser of untrusted bytes. Each takes any bytes, runs the
// parser on them and checks what must hold for every input (no crash, no read
// outside the input, and, where the parser accepted the bytes, that writing the
// result and reading it back gives the same result). The libFuzzer programs
// (driver/) and the replay test run the same functions.
//
// Thread-safety: a target may keep a scratch folder for the file readers; run one
// target on one thread at a time.
#ifndef QUORVEL_FUZZ_FUZZ_TARGETS_H_
#define QUORVEL_FUZZ_FUZZ_TARGETS_H_

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace quorvel {

using FuzzInput = std::span<const std::uint8_t>;

// Empty when every check held; otherwise what went wrong.
using FuzzFunction = std::string (*)(FuzzInput input);

struct FuzzTarget {
  std::string_view name;  // also the folder name of its seeds and crashes
  FuzzFunction run;
};

std::span<const FuzzTarget> FuzzTargets();
// The target of that name, or null.
const FuzzTarget* FindFuzzTarget(std::string_view name);

// The targets (see the .cpp files for what each checks).
std::string FuzzCompressedRtf(FuzzInput input);
std::string FuzzHtmlText(FuzzInput input);
std::string FuzzContactList(FuzzInput input);
std::string FuzzStringSet(FuzzInput input);
std::string FuzzListImport(FuzzInput input);
std::string FuzzSpamFolderImage(FuzzInput input);
std::string FuzzBayesRaw(FuzzInput input);
std::string FuzzBayesRawLegacy(FuzzInput input);
std::string FuzzBayesDb(FuzzInput input);
std::string FuzzRegistryText(FuzzInput input);
std::string FuzzMime(FuzzInput input);
std::string FuzzChannelRequest(FuzzInput input);
std::string FuzzVCard(FuzzInput input);

// A folder of its own for the targets that must read files, made on first use and
// removed at exit.
const std::string& FuzzScratchFolder();

}  // namespace quorvel

#endif  // QUORVEL_FUZZ_FUZZ_TARGETS_H_
