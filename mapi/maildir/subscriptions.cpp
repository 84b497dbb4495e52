#include "mapi/maildir/subscriptions.h"

#include <algorithm>
#include <cerrno>

namespace quorvel::mapi {

bool SubscribeFolder(platform::FileSystem& files, const std::string& root,
                     const std::string& folderPath) {
  const std::string path = root + "/subscriptions";
  std::string text;
  if (platform::FileStatus status = files.ReadFile(path, &text);
      !status.ok() && status.code() != ENOENT) {
    return false;
  }
  const bool tabbed = text.rfind("V\t2\n", 0) == 0;
  std::string name = folderPath;
  if (tabbed) std::replace(name.begin(), name.end(), '.', '\t');
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    if (text.compare(start, end - start, name) == 0) return true;
    start = end + 1;
  }
  if (!text.empty() && text.back() != '\n') text += '\n';
  text += name + "\n";
  return files.WriteFileAtomic(path, text).ok();
}

}  // namespace quorvel::mapi
