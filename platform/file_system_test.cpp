#include "platform/file_system.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "platform/memory_file_system.h"
#include "testing/temporary_folder.h"

namespace quorvel::platform {
namespace {

// What both file systems must do alike: each test runs on a real temporary folder
// and on the in-memory one.
class FileSystemContract : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    if (GetParam()) {
      files_ = &RealFileSystem();
      char pattern[] = "/tmp/quorvel-files-XXXXXX";
      ASSERT_NE(::mkdtemp(pattern), nullptr);
      dir_ = pattern;
    } else {
      memory_ = std::make_unique<MemoryFileSystem>();
      files_ = memory_.get();
      dir_ = "/tmp/work";
      ASSERT_TRUE(files_->CreateFolders(dir_).ok());
    }
  }
  void TearDown() override {
    if (GetParam()) std::filesystem::remove_all(dir_);
  }
  std::string Read(const std::string& path) {
    std::string bytes;
    EXPECT_TRUE(files_->ReadFile(path, &bytes).ok()) << path;
    return bytes;
  }
  std::vector<std::string> Names(const std::string& folder) {
    std::vector<FolderEntry> entries;
    EXPECT_TRUE(files_->ListFolder(folder, &entries).ok());
    std::vector<std::string> names;
    for (const FolderEntry& e : entries) names.push_back(e.name);
    std::sort(names.begin(), names.end());
    return names;
  }

  FileSystem* files_ = nullptr;
  std::unique_ptr<MemoryFileSystem> memory_;
  std::string dir_;
};

TEST_P(FileSystemContract, AtomicWriteReplacesTheFileAndLeavesNoTemporary) {
  const std::string path = dir_ + "/data.bin";
  const std::string bytes("a\0b\xFF", 4);
  ASSERT_TRUE(files_->WriteFileAtomic(path, bytes).ok());
  ASSERT_TRUE(files_->WriteFileAtomic(path, bytes + "more").ok());
  EXPECT_EQ(Read(path), bytes + "more");
  EXPECT_EQ(Names(dir_), std::vector<std::string>{"data.bin"});
}

TEST_P(FileSystemContract, AnAbandonedWriteLeavesTheOldFile) {
  const std::string path = dir_ + "/f";
  ASSERT_TRUE(files_->WriteFileAtomic(path, "old").ok());
  {
    std::unique_ptr<AtomicFile> file;
    ASSERT_TRUE(files_->NewAtomicFile(path, &file).ok());
    ASSERT_TRUE(file->Append("new").ok());
    EXPECT_EQ(Read(path), "old");
  }
  EXPECT_EQ(Read(path), "old");
  EXPECT_EQ(Names(dir_), std::vector<std::string>{"f"});
}

TEST_P(FileSystemContract, FailuresCarryTheCodeAndThePath) {
  std::string bytes = "left over";
  FileStatus status = files_->ReadFile(dir_ + "/missing", &bytes);
  EXPECT_EQ(status.code(), ENOENT);
  EXPECT_NE(status.message().find(dir_ + "/missing"), std::string::npos) << status.message();
  EXPECT_TRUE(bytes.empty());
  EXPECT_EQ(files_->ReadFile(dir_, &bytes).code(), EISDIR);
  EXPECT_EQ(files_->WriteFileAtomic(dir_ + "/no/such/folder/file", "x").code(), ENOENT);
  EXPECT_EQ(files_->WriteFileAtomic(dir_, "x").code(), EISDIR);
  std::vector<FolderEntry> entries;
  EXPECT_EQ(files_->ListFolder(dir_ + "/missing", &entries).code(), ENOENT);
}

TEST_P(FileSystemContract, FoldersAreCreatedListedAndRemoved) {
  ASSERT_TRUE(files_->CreateFolders(dir_ + "/a/b/c").ok());
  EXPECT_TRUE(files_->CreateFolders(dir_ + "/a/b/c").ok());  // already there
  ASSERT_TRUE(files_->WriteFileAtomic(dir_ + "/a/plain", "x").ok());
  EXPECT_EQ(files_->CreateFolders(dir_ + "/a/plain/sub").code(), ENOTDIR);

  std::vector<FolderEntry> entries;
  ASSERT_TRUE(files_->ListFolder(dir_ + "/a", &entries).ok());
  std::sort(entries.begin(), entries.end(),
            [](const FolderEntry& x, const FolderEntry& y) { return x.name < y.name; });
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].name, "b");
  EXPECT_EQ(entries[0].kind, FileKind::kFolder);
  EXPECT_EQ(entries[1].name, "plain");
  EXPECT_EQ(entries[1].kind, FileKind::kFile);

  FileInfo info;
  ASSERT_TRUE(files_->Stat(dir_ + "/a/plain", &info).ok());
  EXPECT_EQ(info.kind, FileKind::kFile);
  EXPECT_EQ(info.size, 1u);
  ASSERT_TRUE(files_->Stat(dir_ + "/a/none", &info).ok());
  EXPECT_EQ(info.kind, FileKind::kMissing);

  EXPECT_EQ(files_->Remove(dir_ + "/a").code(), ENOTEMPTY);
  ASSERT_TRUE(files_->RemoveAll(dir_ + "/a").ok());
  EXPECT_FALSE(files_->Exists(dir_ + "/a/b/c"));
  EXPECT_TRUE(files_->RemoveAll(dir_ + "/a").ok());  // nothing left: no error
}

TEST_P(FileSystemContract, RenameNoReplaceKeepsBothWhenTheTargetExists) {
  ASSERT_TRUE(files_->WriteFileAtomic(dir_ + "/from", "1").ok());
  ASSERT_TRUE(files_->WriteFileAtomic(dir_ + "/to", "2").ok());
  EXPECT_EQ(files_->RenameNoReplace(dir_ + "/from", dir_ + "/to").code(), EEXIST);
  EXPECT_EQ(Read(dir_ + "/from"), "1");
  EXPECT_EQ(Read(dir_ + "/to"), "2");
  ASSERT_TRUE(files_->Rename(dir_ + "/from", dir_ + "/to").ok());
  EXPECT_EQ(Read(dir_ + "/to"), "1");
  ASSERT_TRUE(files_->RenameNoReplace(dir_ + "/to", dir_ + "/new").ok());
  EXPECT_EQ(Names(dir_), std::vector<std::string>{"new"});
}

// A kept-open file follows its file through a rename, and tells it apart from the
// new file made at the old path.
TEST_P(FileSystemContract, AnAppendingFileFollowsItsFileThroughARename) {
  const std::string path = dir_ + "/log";
  std::unique_ptr<AppendingFile> file;
  ASSERT_TRUE(files_->OpenForAppending(path, &file).ok());
  std::uint64_t size = 0;
  ASSERT_TRUE(file->Append("one\n", &size).ok());
  EXPECT_EQ(size, 4u);
  FileInfo there;
  ASSERT_TRUE(files_->Stat(path, &there).ok());
  EXPECT_EQ(file->identity().device, there.device);
  EXPECT_EQ(file->identity().inode, there.inode);

  ASSERT_TRUE(files_->Rename(path, path + ".1").ok());
  ASSERT_TRUE(files_->AppendToFile(path, "new\n").ok());
  ASSERT_TRUE(file->Append("two\n", &size).ok());
  EXPECT_EQ(size, 8u);
  EXPECT_EQ(Read(path + ".1"), "one\ntwo\n");
  EXPECT_EQ(Read(path), "new\n");
  ASSERT_TRUE(files_->Stat(path, &there).ok());
  EXPECT_NE(file->identity().inode, there.inode);

  // Removed under it: appends still succeed and go nowhere.
  ASSERT_TRUE(files_->Remove(path + ".1").ok());
  EXPECT_TRUE(file->Append("three\n").ok());
  EXPECT_EQ(Names(dir_), std::vector<std::string>{"log"});
  EXPECT_EQ(files_->OpenForAppending(dir_ + "/missing/log", &file).code(), ENOENT);
}

TEST_P(FileSystemContract, ALockExcludesOthersUntilReleased) {
  const std::string path = dir_ + "/lock";
  std::unique_ptr<FileLock> first;
  ASSERT_TRUE(files_->Lock(path, /*wait=*/false, &first).ok());
  // A second open of the same file is a second holder, in this process as in another.
  std::unique_ptr<FileLock> second;
  EXPECT_EQ(files_->Lock(path, /*wait=*/false, &second).code(), EWOULDBLOCK);
  first.reset();
  EXPECT_TRUE(files_->Lock(path, /*wait=*/false, &second).ok());
}

INSTANTIATE_TEST_SUITE_P(RealAndMemory, FileSystemContract, ::testing::Bool(),
                         [](const auto& test) { return test.param ? "Real" : "Memory"; });

// What only the real file system has: links, permissions, devices.
class RealFileSystemTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(dir_.empty()); }
  FileSystem& files_ = RealFileSystem();
  quorvel::testing::TemporaryFolder folder_{"quorvel-files"};
  std::string dir_ = folder_.path();
};

TEST_F(RealFileSystemTest, ALinkIsFollowedAndKeptAndTheModeIsKept) {
  ASSERT_TRUE(files_.CreateFolders(dir_ + "/real").ok());
  const std::string target = dir_ + "/real/list.txt";
  ASSERT_TRUE(files_.WriteFileAtomic(target, "old").ok());
  ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
  ASSERT_EQ(::symlink("real/list.txt", (dir_ + "/link.txt").c_str()), 0);

  ASSERT_TRUE(files_.WriteFileAtomic(dir_ + "/link.txt", "new").ok());
  struct stat st {};
  ASSERT_EQ(::lstat((dir_ + "/link.txt").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  std::string bytes;
  ASSERT_TRUE(files_.ReadFile(target, &bytes).ok());
  EXPECT_EQ(bytes, "new");
  ASSERT_EQ(::stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST_F(RealFileSystemTest, AFileTheUserMayNotWriteIsRefused) {
  if (::geteuid() == 0) GTEST_SKIP() << "root may write any file";
  const std::string path = dir_ + "/read-only";
  ASSERT_TRUE(files_.WriteFileAtomic(path, "keep").ok());
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  EXPECT_EQ(files_.WriteFileAtomic(path, "lost").code(), EACCES);
  std::string bytes;
  ASSERT_TRUE(files_.ReadFile(path, &bytes).ok());
  EXPECT_EQ(bytes, "keep");
}

TEST_F(RealFileSystemTest, AFifoAndAnOpenDescriptorAreWrittenNotReplaced) {
  const std::string fifo = dir_ + "/fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  ASSERT_TRUE(files_.WriteFileAtomic(fifo, "through").ok());
  char buffer[16] = {};
  EXPECT_EQ(::read(reader, buffer, sizeof buffer), 7);
  EXPECT_EQ(std::string(buffer, 7), "through");
  ::close(reader);
  struct stat st {};
  ASSERT_EQ(::lstat(fifo.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));

  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  ASSERT_TRUE(files_.WriteFileAtomic("/dev/fd/" + std::to_string(pipeFds[1]), "piped").ok());
  ::close(pipeFds[1]);
  EXPECT_EQ(::read(pipeFds[0], buffer, sizeof buffer), 5);
  EXPECT_EQ(std::string(buffer, 5), "piped");
  ::close(pipeFds[0]);
}

// A FIFO dropped into a Maildir held the reader in open() for good (no writer ever
// came). Opening never waits now; a whole-file read refuses what is not a regular
// file, by name; a pipe the user names is still read to its end.
TEST_F(RealFileSystemTest, WhatIsNotARegularFileIsOpenedWithoutWaiting) {
  const std::string fifo = dir_ + "/fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  for (const std::string& path :
       {fifo, std::string("/dev/null"), "/dev/fd/" + std::to_string(pipeFds[0])}) {
    SCOPED_TRACE(path);
    std::string bytes = "left over";
    const FileStatus read = files_.ReadFile(path, &bytes);
    EXPECT_EQ(read.code(), kNotARegularFile);
    EXPECT_EQ(read.message(), "cannot read " + path + ": not a regular file");
    EXPECT_EQ(bytes, "");
    std::unique_ptr<ReadableFile> file;
    ASSERT_TRUE(files_.OpenForReading(path, &file).ok());
    EXPECT_FALSE(file->regular());
  }
  ASSERT_EQ(::write(pipeFds[1], "piped", 5), 5);
  ::close(pipeFds[1]);
  std::unique_ptr<ReadableFile> piped;
  ASSERT_TRUE(files_.OpenForReading("/dev/fd/" + std::to_string(pipeFds[0]), &piped).ok());
  char buffer[16];
  std::size_t got = 0;
  ASSERT_TRUE(piped->Read(buffer, sizeof buffer, &got).ok());
  EXPECT_EQ(std::string(buffer, got), "piped");
  ::close(pipeFds[0]);

  std::unique_ptr<ReadableFile> plain;
  ASSERT_TRUE(files_.WriteFileAtomic(dir_ + "/plain", "x").ok());
  ASSERT_TRUE(files_.OpenForReading(dir_ + "/plain", &plain).ok());
  EXPECT_TRUE(plain->regular());
}

// The in-memory file system's faults, which the layers above rely on in their tests.
TEST(MemoryFileSystemTest, EachChangingCallOfAWriteCanFailAndLeavesTheOldFile) {
  MemoryFileSystem files;
  files.PutFile("/d/f", "old");
  int failures = 0;
  for (int n = 0;; ++n) {
    files.FailCall(n, ENOSPC);
    const FileStatus status = files.WriteFileAtomic("/d/f", "new");
    if (status.ok()) break;
    ++failures;
    EXPECT_EQ(status.code(), ENOSPC);
    EXPECT_EQ(files.FileBytes("/d/f"), "old") << "call " << n;
    EXPECT_EQ(files.Files(), std::vector<std::string>{"/d/f"}) << "call " << n;
  }
  EXPECT_EQ(failures, 3);  // create, append, commit
  EXPECT_EQ(files.FileBytes("/d/f"), "new");
}

TEST(MemoryFileSystemTest, ReadsComeInPiecesAndCanFail) {
  MemoryFileSystem files;
  files.PutFile("/f", "abcdef");
  files.SetReadPiece(2);
  std::unique_ptr<ReadableFile> file;
  ASSERT_TRUE(files.OpenForReading("/f", &file).ok());
  char buffer[8];
  std::size_t got = 0;
  ASSERT_TRUE(file->Read(buffer, sizeof buffer, &got).ok());
  EXPECT_EQ(got, 2u);
  files.SetFault([](MemoryFileSystem::Call call, const std::string&) {
    return call == MemoryFileSystem::Call::kRead ? EIO : 0;
  });
  EXPECT_EQ(file->Read(buffer, sizeof buffer, &got).code(), EIO);
  std::string bytes;
  EXPECT_EQ(files.ReadFile("/f", &bytes).code(), EIO);
}

}  // namespace
}  // namespace quorvel::platform
