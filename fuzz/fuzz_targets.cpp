#include "fuzz/fuzz_targets.h"

#include <unistd.h>

#include <array>
#include <cstdlib>
#include <filesystem>

namespace quorvel {
namespace {

constexpr std::array kTargets = {
    FuzzTarget{"compressed_rtf", FuzzCompressedRtf},
    FuzzTarget{"html_text", FuzzHtmlText},
    FuzzTarget{"contact_list", FuzzContactList},
    FuzzTarget{"string_set", FuzzStringSet},
    FuzzTarget{"list_import", FuzzListImport},
    FuzzTarget{"vcard", FuzzVCard},
    FuzzTarget{"spam_folder_image", FuzzSpamFolderImage},
    FuzzTarget{"bayes_raw", FuzzBayesRaw},
    FuzzTarget{"bayes_raw_legacy", FuzzBayesRawLegacy},
    FuzzTarget{"bayes_db", FuzzBayesDb},
    FuzzTarget{"registry_text", FuzzRegistryText},
    FuzzTarget{"channel_request", FuzzChannelRequest},
    FuzzTarget{"mime", FuzzMime},
};

struct ScratchFolder {
  ScratchFolder() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern =
        std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/quorvel-fuzz-XXXXXX";
    if (mkdtemp(pattern.data()) != nullptr) path = pattern + "/";
  }
  ~ScratchFolder() {
    std::error_code ignored;
    if (!path.empty()) std::filesystem::remove_all(path, ignored);
  }
  std::string path;
};

}  // namespace

std::span<const FuzzTarget> FuzzTargets() { return kTargets; }

const FuzzTarget* FindFuzzTarget(std::string_view name) {
  for (const FuzzTarget& target : kTargets) {
    if (target.name == name) return &target;
  }
  return nullptr;
}

const std::string& FuzzScratchFolder() {
  static const ScratchFolder folder;
  return folder.path;
}

}  // namespace quorvel
