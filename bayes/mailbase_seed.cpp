#include "bayes/mailbase_seed.h"

#include <unistd.h>

#include <cerrno>
#include <string_view>

#include "platform/file_system.h"

namespace quorvel {
namespace {

// Copies `from` to `to` unless `to` exists. The new file appears whole or not at all:
// it is written beside the target and renamed into place without replacing, so two
// processes never overwrite each other's copy. False when no copy was made; *error
// says why when that was a failure (a full disk, say) rather than an existing target
// or a missing seed.
bool CopyNoOverwrite(platform::FileSystem& files, const std::string& from, const std::string& to,
                     std::string* error) {
  if (files.Exists(to)) return false;
  std::string bytes;
  if (const platform::FileStatus read = files.ReadFile(from, &bytes); !read.ok()) {
    if (read.code() != ENOENT && error->empty()) *error = read.message();
    return false;
  }
  const std::string temp = to + ".seed-" + std::to_string(::getpid());
  if (const platform::FileStatus written = files.WriteFileAtomic(temp, bytes); !written.ok()) {
    if (error->empty()) {
      *error = "cannot copy \"" + from + "\" to \"" + to + "\": " + written.message();
    }
    return false;
  }
  const platform::FileStatus renamed = files.RenameNoReplace(temp, to);
  if (renamed.ok()) return true;
  files.Remove(temp);
  if (renamed.code() != EEXIST && error->empty()) {
    *error = "cannot copy \"" + from + "\" to \"" + to + "\": " + renamed.message();
  }
  return false;
}

}  // namespace

bool BringMailbaseFiles(const std::string& dataFolder, const std::string& moduleFolder,
                        std::string* error, platform::FileSystem& files) {
  std::string ignored;
  if (error == nullptr) error = &ignored;
  error->clear();
  if (dataFolder.empty()) {
    *error = "cannot create the data folder \"\"";
    return false;
  }
  if (const platform::FileStatus created = files.CreateFolders(dataFolder); !created.ok()) {
    *error = "cannot create the data folder \"" + dataFolder + "\": " + created.message();
    return false;
  }
  const std::string seedTable = JoinPath(moduleFolder, kTableFileName);
  const std::string userTable = JoinPath(dataFolder, kTableFileName);
  // A table of the user's own without its counts is used as it is: shipped counts
  // beside it would claim it as their partner and have it compiled over.
  const bool ownTable = files.Exists(userTable) || files.Exists(userTable + ".bak");
  if (CopyNoOverwrite(files, seedTable, userTable, error)) {
    CopyNoOverwrite(files, seedTable, userTable + ".bak", error);
  }
  const std::string seedRaw = JoinPath(moduleFolder, kRawFileName);
  const std::string userRaw = JoinPath(dataFolder, kRawFileName);
  if (!ownTable && CopyNoOverwrite(files, seedRaw, userRaw, error)) {
    CopyNoOverwrite(files, seedRaw, userRaw + ".bak", error);
    CopyNoOverwrite(files, seedRaw, userRaw + ".old", error);
  }
  return error->empty();
}

bool OpenUserMailbase(Mailbase& mailbase, const std::string& dataFolder,
                      const std::string& moduleFolder, std::string* error,
                      platform::FileSystem& files) {
  const bool brought = BringMailbaseFiles(dataFolder, moduleFolder, error, files);
  mailbase.SetPaths(dataFolder, moduleFolder);
  return brought;
}

}  // namespace quorvel
