#include "platform/folder_visit.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/memory_file_system.h"
#include "testing/temporary_folder.h"

namespace quorvel::platform {
namespace {

// A folder visited entry by entry holds what its listing holds, on the machine's own
// files and on the in-memory ones, and a missing one fails alike.
TEST(FolderVisitTest, VisitingSeesWhatListingSees) {
  quorvel::testing::TemporaryFolder temporary;
  MemoryFileSystem memory;
  for (FileSystem* files : {&RealFileSystem(), static_cast<FileSystem*>(&memory)}) {
    const std::string dir = files == &memory ? std::string("/work") : temporary.path();
    ASSERT_TRUE(files->CreateFolders(dir + "/a/sub").ok());
    for (int i = 0; i < 50; ++i) {
      ASSERT_TRUE(files->WriteFileAtomic(dir + "/a/f" + std::to_string(i), "x").ok());
    }
    std::vector<FolderEntry> listed;
    ASSERT_TRUE(files->ListFolder(dir + "/a", &listed).ok());
    std::map<std::string, FileKind> expected;
    for (const FolderEntry& e : listed) expected[e.name] = e.kind;
    ASSERT_EQ(expected.size(), 51u);
    EXPECT_EQ(expected["sub"], FileKind::kFolder);

    std::map<std::string, FileKind> visited;
    int calls = 0;
    ASSERT_TRUE(VisitFolder(*files, dir + "/a", [&](const FolderEntry& e) {
                  visited[e.name] = e.kind;
                  ++calls;
                }).ok());
    EXPECT_EQ(visited, expected);
    EXPECT_EQ(calls, 51);
    EXPECT_EQ(VisitFolder(*files, dir + "/missing", [](const FolderEntry&) {}).code(), ENOENT);
  }
}

}  // namespace
}  // namespace quorvel::platform
