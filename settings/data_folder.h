// Where Quorvel keeps its per-user files (the data folder) and finds its shipped
// files (the module folder).
//
// Data folder: the special folders' data override when set (QUORVEL_DATA), else the
// application data folder, else the parent of the desktop folder, followed by
// "Veltmark/Quorvel/"; it always ends with '/', or is empty when no folder is known. It is computed
// once and cached; an empty result is computed again on the next call. The folder itself is not
// created here.
//
// Module folder: "<prefix>/share/quorvel/" when the executable is installed as
// "<prefix>/bin/quorvel", else the executable's own folder (a build tree). Ends with '/'.
//
// Thread-safety: safe to call from several threads.
#ifndef QUORVEL_SETTINGS_DATA_FOLDER_H_
#define QUORVEL_SETTINGS_DATA_FOLDER_H_

#include <mutex>
#include <string>

#include "platform/special_folders.h"

namespace quorvel {

class DataFolders {
 public:
  // `folders` must outlive this object.
  explicit DataFolders(const platform::SpecialFolders& folders) : folders_(folders) {}

  std::string DataFolder();
  std::string ModuleFolder();

 private:
  const platform::SpecialFolders& folders_;
  std::mutex mutex_;
  std::string dataFolder_;  // guarded by mutex_; empty: not computed yet
};

// The process's data folders over the environment's special folders.
DataFolders& DefaultDataFolders();

}  // namespace quorvel

#endif  // QUORVEL_SETTINGS_DATA_FOLDER_H_
