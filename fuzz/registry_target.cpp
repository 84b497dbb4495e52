// Target for the registry files: a file that parses must format as a file that parses
// and formats to the same text.
#include "fuzz/fuzz_targets.h"
#include "platform/registry_text.h"

namespace quorvel {

std::string FuzzRegistryText(FuzzInput input) {
  using platform::RegRoot;
  const std::string_view bytes(reinterpret_cast<const char*>(input.data()), input.size());
  platform::RegistryTree tree;
  platform::RegistryTextError error;
  if (!platform::ParseRegistryText(bytes, RegRoot::kCurrentUser, &tree, &error)) return {};
  const std::string text = platform::FormatRegistryText(tree, RegRoot::kCurrentUser);
  platform::RegistryTree again;
  if (!platform::ParseRegistryText(text, RegRoot::kCurrentUser, &again, &error)) {
    return "a formatted file does not parse: line " + std::to_string(error.line) + ": " +
           error.message;
  }
  if (platform::FormatRegistryText(again, RegRoot::kCurrentUser) != text) {
    return "a formatted file parses to something else";
  }
  return {};
}

}  // namespace quorvel
