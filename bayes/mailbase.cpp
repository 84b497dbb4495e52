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
    : table_(files), store_(table_, messageBoxes, files) {}

Mailbase::Mailbase(platform::MessageBoxes& messageBoxes, const std::string& dataFolder,
                   const std::string& moduleFolder, platform::FileSystem& files)
    : Mailbase(messageBoxes, files) {
  SetPaths(dataFolder, moduleFolder);
}

Mailbase::~Mailbase() {
  store_.SaveIfDirty();
  store_.StopRebuildThread();
}

void Mailbase::SetPaths(const std::string& dataFolder, const std::string& moduleFolder) {
  table_.SetPath(JoinPath(dataFolder, kTableFileName));
  store_.SetInitialPath(JoinPath(moduleFolder, kInitialRawFileName));
  store_.SetPath(JoinPath(dataFolder, kRawFileName));
}

}  // namespace quorvel
