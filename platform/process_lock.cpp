#include "platform/process_lock.h"

#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

namespace quorvel::platform {
namespace {

struct Entry {
  std::thread::id owner;
  int depth = 0;
  std::unique_ptr<FileLock> file;
};

struct Table {
  std::mutex mutex;
  std::condition_variable released;
  std::map<std::string, Entry> entries;  // guarded by mutex; only held locks are present
};

Table& Locks() {
  static Table* table = new Table;  // never destroyed: locks may outlive static destruction
  return *table;
}

std::string KeyOf(const FileSystem* files, const std::string& name) {
  return std::to_string(reinterpret_cast<std::uintptr_t>(files)) + ":" + name;
}

}  // namespace

FileStatus ProcessLock::Take(FileSystem* files, const std::string& name,
                             std::unique_ptr<ProcessLock>* lock) {
  Table& table = Locks();
  const std::string key = KeyOf(files, name);
  const std::thread::id me = std::this_thread::get_id();
  std::unique_lock guard(table.mutex);
  for (;;) {
    auto it = table.entries.find(key);
    if (it == table.entries.end()) break;
    if (it->second.owner == me) {
      ++it->second.depth;
      lock->reset(new ProcessLock(key));
      return {};
    }
    table.released.wait(guard);
  }
  // Ours from now on for this process; the file lock is waited for without the table.
  table.entries[key] = Entry{me, 1, nullptr};
  if (files != nullptr) {
    guard.unlock();
    std::unique_ptr<FileLock> file;
    FileStatus status = files->Lock(name, /*wait=*/true, &file);
    guard.lock();
    if (!status.ok()) {
      table.entries.erase(key);
      table.released.notify_all();
      return status;
    }
    table.entries[key].file = std::move(file);
  }
  lock->reset(new ProcessLock(key));
  return {};
}

ProcessLock::~ProcessLock() {
  Table& table = Locks();
  std::unique_ptr<FileLock> file;  // released after the table's mutex
  {
    std::lock_guard guard(table.mutex);
    auto it = table.entries.find(key_);
    if (it == table.entries.end() || --it->second.depth > 0) return;
    file = std::move(it->second.file);
    table.entries.erase(it);
  }
  file.reset();
  Locks().released.notify_all();
}

}  // namespace quorvel::platform
