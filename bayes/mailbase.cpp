#include "bayes/mailbase.h"

namespace quorvel {

std::string JoinPath(const std::string& folder, std::string_view name) {
  if (folder.empty()) return {};  // unknown folder: no file, not one in the working directory
  std::string path = folder;
  if (!path.empty() && path.back() != '/') path.push_back('/');
  path.append(name);
  return path;
}

Mailbase::Mailbase(platform::MessageBoxes& messageBoxes, platform::FileSystem& files)
    : files_(files), table_(files), store_(table_, messageBoxes, files) {}

Mailbase::Mailbase(platform::MessageBoxes& messageBoxes, const std::string& dataFolder,
                   const std::string& moduleFolder, platform::FileSystem& files)
    : Mailbase(messageBoxes, files) {
  SetPaths(dataFolder, moduleFolder);
}

Mailbase::~Mailbase() {
  // Reading never writes: a store that was only loaded (even from a ".bak", which
  // makes it dirty) is left as it is on disk.
  if (store_.changed()) store_.SaveIfDirty();
  store_.StopRebuildThread();
}

void Mailbase::SetPaths(const std::string& dataFolder, const std::string& moduleFolder) {
  table_.SetPath(JoinPath(dataFolder, kTableFileName));
  store_.SetInitialPath(JoinPath(moduleFolder, kInitialRawFileName));
  const std::string raw = JoinPath(dataFolder, kRawFileName);
  store_.SetPath(raw);
  // The table loads only as the partner of the "Bayes.raw" in force. The check reads
  // the files without the store's lock (the table's lock is held when it runs).
  platform::FileSystem& files = files_;
  table_.SetStampCheck([&files, raw](PairStamp* expected) {
    return !raw.empty() && StampInForce(files, raw, MailbaseStore::FileCheck(), expected);
  });
}

}  // namespace quorvel
