#include "platform/special_folders.h"

#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace quorvel::platform {
namespace {

// An environment variable holding an absolute path, without trailing slashes;
// empty when unset, empty or relative (the base-directory rules ignore those).
std::string AbsoluteFromEnvironment(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || value[0] != '/') return {};
  std::string path(value);
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::string UnderHome(const char* relative) {
  std::string home = AbsoluteFromEnvironment("HOME");
  if (home.empty()) return {};
  if (home != "/") home += '/';
  return home + relative;
}

}  // namespace

std::string EnvironmentSpecialFolders::AppData() const {
  std::string path = AbsoluteFromEnvironment("XDG_DATA_HOME");
  return path.empty() ? UnderHome(".local/share") : path;
}

std::string EnvironmentSpecialFolders::Desktop() const {
  std::string path = AbsoluteFromEnvironment("XDG_DESKTOP_DIR");
  return path.empty() ? UnderHome("Desktop") : path;
}

std::string EnvironmentSpecialFolders::ModulePath() const {
  std::vector<char> buffer(4096);
  for (;;) {
    ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) return {};
    if (static_cast<std::size_t>(n) < buffer.size())
      return std::string(buffer.data(), static_cast<std::size_t>(n));
    if (buffer.size() >= 65536) return {};
    buffer.resize(buffer.size() * 2);
  }
}

std::string EnvironmentSpecialFolders::DataOverride() const {
  return AbsoluteFromEnvironment("QUORVEL_DATA");
}

SpecialFolders& DefaultSpecialFolders() {
  static auto* folders = new EnvironmentSpecialFolders;
  return *folders;
}

}  // namespace quorvel::platform
