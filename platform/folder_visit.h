// Reading a folder entry by entry: a folder of any size in constant memory.
#ifndef QUORVEL_PLATFORM_FOLDER_VISIT_H_
#define QUORVEL_PLATFORM_FOLDER_VISIT_H_

#include <functional>
#include <string>

#include "platform/file_system.h"

namespace quorvel::platform {

using FolderVisit = std::function<void(const FolderEntry&)>;

// The entries of the folder `path` of `files`, as ListFolder gives them, each handed to
// `visit` as it is read; nothing of the listing is kept. An entry added or removed
// meanwhile may or may not be seen. The machine's own files (RealFileSystem) are read
// so; any other file system is listed whole first (ListFolder) and then visited.
FileStatus VisitFolder(FileSystem& files, const std::string& path, const FolderVisit& visit);

// The machine's own folder `path`, read so (the reading behind RealFileSystem's
// ListFolder too).
FileStatus VisitRealFolder(const std::string& path, const FolderVisit& visit);

}  // namespace quorvel::platform

#endif  // QUORVEL_PLATFORM_FOLDER_VISIT_H_
