#include "bayes/mailbase_seed.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>
#include <vector>

#include "platform/files.h"

namespace quorvel {
namespace {

// Copies `from` to `to` unless `to` exists. The new file appears whole or not at all:
// it is written beside the target and linked into place, which fails when the
// target exists, so two processes never overwrite each other's copy.
bool CopyNoOverwrite(const std::string& from, const std::string& to) {
  if (platform::FileExists(to)) return false;
  std::vector<std::uint8_t> bytes;
  if (!platform::ReadWholeFile(from, &bytes)) return false;
  const std::string temp = to + ".seed-" + std::to_string(::getpid());
  if (!platform::WriteFileAtomic(
          temp, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()))) {
    return false;
  }
  const bool linked = ::link(temp.c_str(), to.c_str()) == 0;
  ::unlink(temp.c_str());
  return linked;
}

}  // namespace

bool BringMailbaseFiles(const std::string& dataFolder, const std::string& moduleFolder) {
  if (dataFolder.empty() || !platform::CreateDirectories(dataFolder)) return false;
  const std::string seedTable = JoinPath(moduleFolder, kTableFileName);
  const std::string userTable = JoinPath(dataFolder, kTableFileName);
  if (CopyNoOverwrite(seedTable, userTable)) {
    CopyNoOverwrite(seedTable, userTable + ".bak");
  }
  const std::string seedRaw = JoinPath(moduleFolder, kRawFileName);
  const std::string userRaw = JoinPath(dataFolder, kRawFileName);
  if (CopyNoOverwrite(seedRaw, userRaw)) {
    CopyNoOverwrite(seedRaw, userRaw + ".bak");
    CopyNoOverwrite(seedRaw, userRaw + ".old");
  }
  return true;
}

bool OpenUserMailbase(Mailbase& mailbase, const std::string& dataFolder,
                      const std::string& moduleFolder) {
  const bool brought = BringMailbaseFiles(dataFolder, moduleFolder);
  mailbase.SetPaths(dataFolder, moduleFolder);
  return brought;
}

}  // namespace quorvel
