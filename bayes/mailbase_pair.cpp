#include "bayes/mailbase_pair.h"

#include <cerrno>
#include <cstdio>
#include <vector>

#include "bayes/mailbase_file.h"

namespace quorvel {
namespace {

constexpr std::string_view kTrailerMagic = "QvPair01";
constexpr std::size_t kTrailerSize = 24;  // stamp, check, magic

// FNV-1a, 64 bits.
std::uint64_t Hash(std::string_view bytes, std::uint64_t h = 14695981039346656037ull) {
  for (char c : bytes) {
    h ^= static_cast<unsigned char>(c);
    h *= 1099511628211ull;
  }
  return h;
}

void PutLittle64(std::uint64_t v, std::string* out) {
  for (int i = 0; i < 8; ++i) out->push_back(static_cast<char>(v >> (8 * i)));
}

std::uint64_t GetLittle64(std::string_view bytes) {
  std::uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(bytes[i]);
  return v;
}

// Names of the temporary files an atomic write of one of our files leaves behind
// when its writer is killed.
bool IsStaleTemporary(const std::string& name) {
  for (std::string_view target : {"Bayes.raw", "Bayes.db", "Bayes.raw.bak", "Bayes.db.bak"}) {
    const std::string prefix = std::string(target) + ".tmp-";
    if (name.size() > prefix.size() && name.compare(0, prefix.size(), prefix) == 0) return true;
  }
  return false;
}

}  // namespace

PairStamp StampOfMainPair(std::string_view mainPairBytes) {
  return PairStamp{true, Hash(mainPairBytes)};
}

void AppendRawTrailer(PairStamp stamp, std::string* rawFile) {
  PutLittle64(stamp.value, rawFile);
  PutLittle64(Hash(*rawFile), rawFile);
  rawFile->append(kTrailerMagic);
}

RawTrailer ReadRawTrailer(std::string_view rawFile, PairStamp* stamp) {
  if (rawFile.size() < kTrailerSize ||
      rawFile.substr(rawFile.size() - kTrailerMagic.size()) != kTrailerMagic) {
    return RawTrailer::kNone;
  }
  const std::size_t checkAt = rawFile.size() - 16;
  if (GetLittle64(rawFile.substr(checkAt, 8)) != Hash(rawFile.substr(0, checkAt))) {
    return RawTrailer::kDamaged;
  }
  if (stamp != nullptr) *stamp = PairStamp{true, GetLittle64(rawFile.substr(checkAt - 8, 8))};
  return RawTrailer::kIntact;
}

bool RawFileIsWhole(std::string_view bytes, const MailbaseFileCheck& check, PairStamp* stamp) {
  PairStamp found;
  switch (ReadRawTrailer(bytes, &found)) {
    case RawTrailer::kIntact:
      break;
    case RawTrailer::kDamaged:
      return false;
    case RawTrailer::kNone:
      if (!check.rawLoads(bytes)) return false;
      found = PairStamp{};
      break;
  }
  if (stamp != nullptr) *stamp = found;
  return true;
}

bool StampInForce(platform::FileSystem& files, const std::string& rawPath,
                  const MailbaseFileCheck& check, PairStamp* stamp) {
  for (const std::string& path : {rawPath, rawPath + std::string(kBackupSuffix)}) {
    std::string bytes;
    if (files.ReadFile(path, &bytes).ok() && RawFileIsWhole(bytes, check, stamp)) return true;
  }
  return false;
}

void MailbaseFolderLock::SetFolder(std::string folder) {
  std::lock_guard lock(mutex_);
  folder_ = std::move(folder);
}

std::string MailbaseFolderLock::LockPath() const {
  std::lock_guard lock(mutex_);
  return platform::JoinFilePath(folder_, kMailbaseLockFileName);
}

platform::FileStatus MailbaseFolderLock::Take(bool wait, std::unique_ptr<Hold>* hold) {
  std::unique_lock lock(mutex_);
  if (depth_ == 0) {
    if (folder_.empty()) return platform::FileStatus(ENOENT, "cannot lock", "the mail base folder");
    if (platform::FileStatus status = files_.CreateFolders(folder_); !status.ok()) return status;
    const std::string path = platform::JoinFilePath(folder_, kMailbaseLockFileName);
    // Waiting happens without our mutex, so that the object's own holder can still
    // release it; a second thread of this object then waits on the file lock too.
    lock.unlock();
    std::unique_ptr<platform::FileLock> held;
    if (platform::FileStatus status = files_.Lock(path, wait, &held); !status.ok()) return status;
    lock.lock();
    if (depth_ == 0) held_ = std::move(held);
  }
  ++depth_;
  hold->reset(new Hold(this));
  return {};
}

void MailbaseFolderLock::Release() {
  std::lock_guard lock(mutex_);
  if (--depth_ == 0) held_.reset();
}

MailbaseFolderLock::Hold::~Hold() { owner_->Release(); }

std::string RawFileFingerprint(platform::FileSystem& files, const std::string& rawPath) {
  std::string bytes;
  if (!files.ReadFile(rawPath, &bytes).ok()) return "none";
  return RawBytesFingerprint(bytes);
}

std::string RawBytesFingerprint(std::string_view bytes) {
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(Hash(bytes)));
  return hex;
}

platform::FileStatus WriteMailbasePair(platform::FileSystem& files, const MailbasePairWrite& write,
                                       const MailbaseFileCheck& check) {
  const std::string& anyPath = write.raw != nullptr ? write.rawPath : write.tablePath;
  const std::string folder = platform::FolderOfPath(anyPath);
  if (platform::FileStatus status = files.CreateFolders(folder); !status.ok()) return status;
  std::vector<platform::FolderEntry> entries;
  if (files.ListFolder(folder, &entries).ok()) {
    for (const platform::FolderEntry& entry : entries) {
      if (IsStaleTemporary(entry.name)) files.Remove(platform::JoinFilePath(folder, entry.name));
    }
  }

  const std::string suffix(kBackupSuffix);
  if (write.table != nullptr) {
    files.MakeWritable(write.tablePath);
    files.MakeWritable(write.tablePath + suffix);
    std::string old;
    PairStamp oldStamp;  // not compared: see above
    // Any table that loads is kept, even one of another pair (a table the user copied
    // in, or one a stopped save left): it may be the only copy of those counts, while
    // the table of the "Bayes.raw" in force can always be compiled again from it.
    if (files.ReadFile(write.tablePath, &old).ok() && check.tableLoads(old, &oldStamp)) {
      if (platform::FileStatus status = files.WriteFileAtomic(write.tablePath + suffix, old);
          !status.ok()) {
        return status;
      }
    }
  }
  if (write.raw != nullptr) {
    files.MakeWritable(write.rawPath);
    files.MakeWritable(write.rawPath + suffix);
    std::string old;
    if (files.ReadFile(write.rawPath, &old).ok() && RawFileIsWhole(old, check)) {
      if (platform::FileStatus status = files.WriteFileAtomic(write.rawPath + suffix, old);
          !status.ok()) {
        return status;
      }
    }
  }
  if (write.table != nullptr) {
    if (platform::FileStatus status = files.WriteFileAtomic(write.tablePath, *write.table);
        !status.ok()) {
      return status;
    }
  }
  if (write.raw != nullptr) return files.WriteFileAtomic(write.rawPath, *write.raw);
  return {};
}

}  // namespace quorvel
