// A lock that one thread of the process holds at a time, across every object that
// takes it by the same name, and that, given a lock file, also excludes other
// processes (FileSystem::Lock, taken once for the process).
//
// The thread that holds it may take it again (nested takes only count), so a command
// that holds the settings lock for its whole run can still call code that takes it
// for one change. Other threads of the process wait, as other processes do.
//
// Thread-safety: Take may be called from any thread; a ProcessLock is released by the
// thread that took it.
#ifndef QUORVEL_PLATFORM_PROCESS_LOCK_H_
#define QUORVEL_PLATFORM_PROCESS_LOCK_H_

#include <memory>
#include <string>

#include "platform/file_system.h"

namespace quorvel::platform {

class ProcessLock {
 public:
  // Takes the lock called `name`, waiting for its holder. With `files`, `name` is
  // also the path of a lock file that is locked (created when missing) for the
  // process while anyone in it holds the lock.
  static FileStatus Take(FileSystem* files, const std::string& name,
                         std::unique_ptr<ProcessLock>* lock);

  ~ProcessLock();
  ProcessLock(const ProcessLock&) = delete;
  ProcessLock& operator=(const ProcessLock&) = delete;

 private:
  explicit ProcessLock(std::string key) : key_(std::move(key)) {}
  std::string key_;
};

}  // namespace quorvel::platform

#endif  // QUORVEL_PLATFORM_PROCESS_LOCK_H_
