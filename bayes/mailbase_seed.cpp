#include "bayes/mailbase_seed.h"

#include <unistd.h>

#include <string_view>
#include <vector>

#include "platform/file_system.h"

namespace quorvel {
namespace {

// Copies `from` to `to` unless `to` exists. The new file appears whole or not at all:
// it is written beside the target and renamed into place without replacing, so two
// processes never overwrite each other's copy.
bool CopyNoOverwrite(platform::FileSystem& files, const std::string& from, const std::string& to) {
  if (files.Exists(to)) return false;
  std::string bytes;
  if (!files.ReadFile(from, &bytes).ok()) return false;
  const std::string temp = to + ".seed-" + std::to_string(::getpid());
  if (!files.WriteFileAtomic(temp, bytes).ok()) return false;
  if (files.RenameNoReplace(temp, to).ok()) return true;
  files.Remove(temp);
  return false;
}

}  // namespace

bool BringMailbaseFiles(const std::string& dataFolder, const std::string& moduleFolder,
                        platform::FileSystem& files) {
  if (dataFolder.empty() || !files.CreateFolders(dataFolder).ok()) return false;
  const std::string seedTable = JoinPath(moduleFolder, kTableFileName);
  const std::string userTable = JoinPath(dataFolder, kTableFileName);
  if (CopyNoOverwrite(files, seedTable, userTable)) {
    CopyNoOverwrite(files, seedTable, userTable + ".bak");
  }
  const std::string seedRaw = JoinPath(moduleFolder, kRawFileName);
  const std::string userRaw = JoinPath(dataFolder, kRawFileName);
  if (CopyNoOverwrite(files, seedRaw, userRaw)) {
    CopyNoOverwrite(files, seedRaw, userRaw + ".bak");
    CopyNoOverwrite(files, seedRaw, userRaw + ".old");
  }
  return true;
}

bool OpenUserMailbase(Mailbase& mailbase, const std::string& dataFolder,
                      const std::string& moduleFolder, platform::FileSystem& files) {
  const bool brought = BringMailbaseFiles(dataFolder, moduleFolder, files);
  mailbase.SetPaths(dataFolder, moduleFolder);
  return brought;
}

}  // namespace quorvel
