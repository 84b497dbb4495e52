// LockFile: an exclusive advisory lock (flock) on a file that also records who holds
// it: "<pid> <start time, seconds since 1970>\n". The kernel lets go of the lock when
// its holder dies, so a file left behind by a dead process is simply taken over and
// rewritten. The file itself is never deleted (deleting it would let a second
// process lock a new file while the first still holds the old one).
#ifndef QUORVEL_PLATFORM_LOCK_FILE_H_
#define QUORVEL_PLATFORM_LOCK_FILE_H_

#include <cstdint>
#include <memory>
#include <string>

namespace quorvel::platform {

struct LockHolder {
  long pid = 0;            // 0: nobody holds the lock
  std::int64_t since = 0;  // when the holder took it (seconds since 1970)
};

class LockFile {
 public:
  ~LockFile();
  LockFile(const LockFile&) = delete;
  LockFile& operator=(const LockFile&) = delete;

  // Takes the lock without waiting. Null when another process holds it (*holder then
  // says who, as far as its file tells) or when the file cannot be opened (*error).
  static std::unique_ptr<LockFile> TryAcquire(const std::string& path, LockHolder* holder,
                                              std::string* error);
  // Who holds the lock now; pid 0 when nobody does.
  static LockHolder Holder(const std::string& path);

  const std::string& path() const { return path_; }

 private:
  LockFile(std::string path, int fd) : path_(std::move(path)), fd_(fd) {}
  std::string path_;
  int fd_;
};

}  // namespace quorvel::platform

#endif  // QUORVEL_PLATFORM_LOCK_FILE_H_
