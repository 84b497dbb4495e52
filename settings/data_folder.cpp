#include "settings/data_folder.h"

#include "platform/file_system.h"

namespace quorvel {
namespace {

constexpr const char* kDataSubfolder = "Veltmark/Quorvel/";

bool IsDirectory(const std::string& path) {
  platform::FileInfo info;
  return platform::RealFileSystem().Stat(path, &info).ok() &&
         info.kind == platform::FileKind::kFolder;
}

// The path up to (not including) its last '/'; empty when it has none.
std::string CutBeforeLastSlash(const std::string& path) {
  auto slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string WithTrailingSlash(std::string path) {
  if (path.empty() || path.back() != '/') path += '/';
  return path;
}

}  // namespace

std::string DataFolders::DataFolder() {
  std::lock_guard lock(mutex_);
  if (!dataFolder_.empty()) return dataFolder_;
  if (std::string own = folders_.DataOverride(); !own.empty()) {
    dataFolder_ = WithTrailingSlash(std::move(own));
    return dataFolder_;
  }
  std::string base = folders_.AppData();
  if (base.empty()) base = CutBeforeLastSlash(folders_.Desktop());
  if (base.empty()) return {};  // computed again next time
  dataFolder_ = WithTrailingSlash(base) + kDataSubfolder;
  return dataFolder_;
}

std::string DataFolders::ModuleFolder() {
  std::string module = folders_.ModulePath();
  auto slash = module.find_last_of('/');
  if (slash == std::string::npos) return {};
  std::string folder = module.substr(0, slash + 1);  // ends with '/'
  std::string_view name = std::string_view(module).substr(slash + 1);
  constexpr std::string_view kBin = "/bin/";
  if (name == "quorvel" && folder.size() >= kBin.size() &&
      folder.compare(folder.size() - kBin.size(), kBin.size(), kBin) == 0) {
    std::string shared = folder.substr(0, folder.size() - kBin.size()) + "/share/quorvel/";
    if (IsDirectory(shared)) return shared;
  }
  return folder;
}

DataFolders& DefaultDataFolders() {
  static auto* folders = new DataFolders(platform::DefaultSpecialFolders());
  return *folders;
}

}  // namespace quorvel
