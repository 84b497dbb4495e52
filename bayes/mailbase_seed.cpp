#include "bayes/mailbase_seed.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>
#include <vector>

#include "platform/files.h"

namespace quorvel {
namespace {

// Copies `from` to `to` unless `to` exists. The new file appears whole or not at all:
// it is written beside the target and linked into place, which fails when the
// target exists, so two processes never overwrite each other's copy. False when no
// copy was made; *error says why when that was a failure (a full disk, say) rather
// than an existing target or a missing seed.
bool CopyNoOverwrite(const std::string& from, const std::string& to, std::string* error) {
  if (platform::FileExists(to)) return false;
  std::vector<std::uint8_t> bytes;
  if (!platform::ReadWholeFile(from, &bytes)) return false;
  const std::string temp = to + ".seed-" + std::to_string(::getpid());
  std::string why;
  if (!platform::WriteFileAtomic(
          temp, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
          &why)) {
    ::unlink(temp.c_str());
    if (error->empty()) *error = "cannot copy \"" + from + "\" to \"" + to + "\": " + why;
    return false;
  }
  const bool linked = ::link(temp.c_str(), to.c_str()) == 0;
  const int linkError = errno;
  ::unlink(temp.c_str());
  if (!linked && linkError != EEXIST && error->empty()) {
    *error = "cannot copy \"" + from + "\" to \"" + to + "\": " + std::strerror(linkError);
  }
  return linked;
}

}  // namespace

bool BringMailbaseFiles(const std::string& dataFolder, const std::string& moduleFolder,
                        std::string* error) {
  std::string ignored;
  if (error == nullptr) error = &ignored;
  error->clear();
  if (dataFolder.empty() || !platform::CreateDirectories(dataFolder)) {
    *error = "cannot create the data folder \"" + dataFolder + "\"";
    return false;
  }
  const std::string seedTable = JoinPath(moduleFolder, kTableFileName);
  const std::string userTable = JoinPath(dataFolder, kTableFileName);
  if (CopyNoOverwrite(seedTable, userTable, error)) {
    CopyNoOverwrite(seedTable, userTable + ".bak", error);
  }
  const std::string seedRaw = JoinPath(moduleFolder, kRawFileName);
  const std::string userRaw = JoinPath(dataFolder, kRawFileName);
  if (CopyNoOverwrite(seedRaw, userRaw, error)) {
    CopyNoOverwrite(seedRaw, userRaw + ".bak", error);
    CopyNoOverwrite(seedRaw, userRaw + ".old", error);
  }
  return error->empty();
}

bool OpenUserMailbase(Mailbase& mailbase, const std::string& dataFolder,
                      const std::string& moduleFolder, std::string* error) {
  const bool brought = BringMailbaseFiles(dataFolder, moduleFolder, error);
  mailbase.SetPaths(dataFolder, moduleFolder);
  return brought;
}

}  // namespace quorvel
