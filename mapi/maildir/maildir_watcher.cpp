#include "mapi/maildir/maildir_watcher.h"

#include <dirent.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <condition_variable>
#include <deque>
#include <map>
#include <set>
#include <unordered_map>
#include <unordered_set>

namespace quorvel::mapi {
namespace {

enum class WatchKind { kNew, kCur, kFolderDir, kRoot };

struct Watch {
  std::string folderPath;
  WatchKind kind;
};

constexpr std::uint32_t kFileEvents = IN_CREATE | IN_MOVED_TO | IN_MOVED_FROM;
constexpr std::uint32_t kDirEvents = IN_CREATE | IN_MOVED_TO | IN_ONLYDIR;
// Bounds on bookkeeping that could otherwise grow when events are lost.
constexpr std::size_t kMaxExpected = 100'000;
constexpr std::size_t kMaxCookies = 1024;

bool IsDirectory(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

struct MaildirWatcher::State {
  std::string root;
  StoreKey key = 0;
  int inotifyFd = -1;
  int wakeFd = -1;

  std::mutex mutex;  // guards the fields up to the next comment
  bool stop = false;
  std::deque<std::vector<Notification>> queue;
  std::unordered_set<std::string> expected;
  std::unordered_map<int, Watch> watches;
  std::map<std::uint32_t, std::pair<std::string, std::string>> cookies;  // folder, unique

  struct SinkEntry {
    EntryId id;
    std::uint32_t mask;
    std::shared_ptr<AdviseSink> sink;
  };
  std::mutex sinksMutex;  // guards sinks and nextConnection
  std::map<std::uint32_t, SinkEntry> sinks;
  std::uint32_t nextConnection = 1;
  std::mutex dispatchMutex;  // held while a sink runs
  std::thread::id threadId;

  ~State() {
    if (inotifyFd >= 0) ::close(inotifyFd);
    if (wakeFd >= 0) ::close(wakeFd);
  }

  void Wake() {
    std::uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(wakeFd, &one, sizeof(one));
  }

  // REQUIRES: mutex held.
  void AddWatch(const std::string& path, const std::string& folderPath, WatchKind kind) {
    if (inotifyFd < 0) return;
    std::uint32_t mask =
        (kind == WatchKind::kNew || kind == WatchKind::kCur) ? kFileEvents : kDirEvents;
    int wd = ::inotify_add_watch(inotifyFd, path.c_str(), mask);
    if (wd >= 0) watches[wd] = Watch{folderPath, kind};
  }

  // REQUIRES: mutex held.
  void WatchFolderLocked(const std::string& folderPath) {
    std::string dir = FolderDirectory(root, folderPath);
    AddWatch(dir, folderPath, folderPath.empty() ? WatchKind::kRoot : WatchKind::kFolderDir);
    AddWatch(dir + "/new", folderPath, WatchKind::kNew);
    AddWatch(dir + "/cur", folderPath, WatchKind::kCur);
  }

  bool Stopped() {
    std::lock_guard<std::mutex> lock(mutex);
    return stop;
  }

  // Turns one inotify event into notifications (appended to `out`).
  // REQUIRES: mutex held.
  void Translate(const inotify_event& e, std::vector<Notification>* out) {
    auto it = watches.find(e.wd);
    if (it == watches.end()) return;
    if (e.mask & IN_IGNORED) {
      watches.erase(it);
      return;
    }
    if (e.len == 0) return;
    const Watch w = it->second;
    std::string name(e.name);
    std::string dir = FolderDirectory(root, w.folderPath);
    if (w.kind == WatchKind::kFolderDir || w.kind == WatchKind::kRoot) {
      if (!(e.mask & IN_ISDIR)) return;
      if (name == "new") AddWatch(dir + "/new", w.folderPath, WatchKind::kNew);
      if (name == "cur") AddWatch(dir + "/cur", w.folderPath, WatchKind::kCur);
      if (w.kind == WatchKind::kRoot && name.size() > 1 && name[0] == '.' && name != "..") {
        std::string path = name.substr(1);
        if (expected.erase(root + "/" + name) > 0) {
          WatchFolderLocked(path);  // the store made it and reports it itself
          return;
        }
        WatchFolderLocked(path);
        Notification n;
        n.eventType = fnevObjectCreated;
        n.objectType = MAPI_FOLDER;
        n.entryId = MaildirFolderId(key, path);
        n.parentId = MaildirFolderId(key, ParentFolderPath(path));
        out->push_back(std::move(n));
      }
      return;
    }
    if (e.mask & IN_ISDIR) return;
    auto file = ParseMessageFileName(name);
    if (!file) return;
    std::string sub = w.kind == WatchKind::kNew ? "/new/" : "/cur/";
    std::string path = dir + sub + name;
    if (e.mask & IN_MOVED_FROM) {
      if (cookies.size() >= kMaxCookies) cookies.clear();
      cookies[e.cookie] = {w.folderPath, file->unique};
      return;
    }
    if (expected.erase(path) > 0) {  // the store's own doing, already reported
      if (e.cookie != 0) cookies.erase(e.cookie);
      return;
    }
    EntryId id = MaildirMessageId(key, w.folderPath, file->unique);
    EntryId parent = MaildirFolderId(key, w.folderPath);
    auto from = e.cookie != 0 ? cookies.find(e.cookie) : cookies.end();
    if (from != cookies.end()) {
      auto [oldFolder, oldUnique] = from->second;
      cookies.erase(from);
      Notification n;
      n.objectType = MAPI_MESSAGE;
      n.entryId = id;
      n.parentId = parent;
      if (oldFolder == w.folderPath && oldUnique == file->unique) {
        n.eventType = fnevObjectModified;  // a flag change, or new/ to cur/
      } else {
        n.eventType = fnevObjectMoved;
        n.oldId = MaildirMessageId(key, oldFolder, oldUnique);
        n.oldParentId = MaildirFolderId(key, oldFolder);
      }
      out->push_back(std::move(n));
      return;
    }
    Notification created;
    created.eventType = fnevObjectCreated;
    created.objectType = MAPI_MESSAGE;
    created.entryId = id;
    created.parentId = parent;
    out->push_back(created);
    if (w.kind == WatchKind::kNew) {
      Notification mail = created;
      mail.eventType = fnevNewMail;
      mail.messageFlags = MessageFlagsOf(*file);
      out->push_back(std::move(mail));
    }
  }
};

namespace {

bool Wants(const MaildirWatcher::State::SinkEntry& s, const Notification& n) {
  if (!(s.mask & n.eventType)) return false;
  if (!s.id.present() || s.id.empty()) return true;
  return n.entryId == s.id || n.parentId == s.id || n.oldParentId == s.id;
}

void Deliver(MaildirWatcher::State& st, const std::vector<Notification>& batch) {
  std::vector<std::uint32_t> connections;
  {
    std::lock_guard<std::mutex> lock(st.sinksMutex);
    for (const auto& [c, s] : st.sinks) connections.push_back(c);
  }
  for (std::uint32_t c : connections) {
    if (st.Stopped()) return;
    std::lock_guard<std::mutex> dispatch(st.dispatchMutex);
    MaildirWatcher::State::SinkEntry entry;
    {
      std::lock_guard<std::mutex> lock(st.sinksMutex);
      auto it = st.sinks.find(c);
      if (it == st.sinks.end()) continue;  // unadvised meanwhile
      entry = it->second;
    }
    std::vector<Notification> wanted;
    for (const Notification& n : batch) {
      if (Wants(entry, n)) wanted.push_back(n);
    }
    if (!wanted.empty()) entry.sink->OnNotify(wanted);
  }
}

void Run(std::shared_ptr<MaildirWatcher::State> st) {
  alignas(inotify_event) char buffer[64 * 1024];
  for (;;) {
    pollfd fds[2] = {{st->wakeFd, POLLIN, 0}, {st->inotifyFd, POLLIN, 0}};
    int n = ::poll(fds, st->inotifyFd >= 0 ? 2 : 1, -1);
    if (n < 0 && errno != EINTR) return;
    if (fds[0].revents & POLLIN) {
      std::uint64_t count;
      [[maybe_unused]] ssize_t r = ::read(st->wakeFd, &count, sizeof(count));
    }
    std::vector<Notification> fromDisk;
    if (st->inotifyFd >= 0 && (fds[1].revents & POLLIN)) {
      ssize_t len;
      while ((len = ::read(st->inotifyFd, buffer, sizeof(buffer))) > 0) {
        std::lock_guard<std::mutex> lock(st->mutex);
        for (char* p = buffer; p < buffer + len;) {
          auto* e = reinterpret_cast<inotify_event*>(p);
          st->Translate(*e, &fromDisk);
          p += sizeof(inotify_event) + e->len;
        }
      }
    }
    std::deque<std::vector<Notification>> queued;
    {
      std::lock_guard<std::mutex> lock(st->mutex);
      if (st->stop) return;
      queued.swap(st->queue);
    }
    if (!fromDisk.empty()) queued.push_back(std::move(fromDisk));
    for (const auto& batch : queued) {
      Deliver(*st, batch);
      if (st->Stopped()) return;
    }
  }
}

}  // namespace

MaildirWatcher::MaildirWatcher(std::string root, StoreKey key, bool useInotify)
    : state_(std::make_shared<State>()) {
  state_->root = std::move(root);
  state_->key = key;
  state_->wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (useInotify) {
    state_->inotifyFd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->WatchFolderLocked("");
    if (DIR* d = ::opendir(state_->root.c_str())) {
      while (dirent* entry = ::readdir(d)) {
        std::string name = entry->d_name;
        if (name.size() > 1 && name[0] == '.' && name != ".." &&
            IsDirectory(state_->root + "/" + name)) {
          state_->WatchFolderLocked(name.substr(1));
        }
      }
      ::closedir(d);
    }
  }
  thread_ = std::thread(Run, state_);
  state_->threadId = thread_.get_id();
}

MaildirWatcher::~MaildirWatcher() {
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->stop = true;
  }
  state_->Wake();
  if (std::this_thread::get_id() == thread_.get_id()) {
    thread_.detach();  // destroyed from inside a sink: the thread ends on its own
  } else {
    thread_.join();
  }
}

Result<std::uint32_t> MaildirWatcher::Advise(const EntryId& id, std::uint32_t eventMask,
                                             std::shared_ptr<AdviseSink> sink) {
  if (!sink || eventMask == 0) return MAPI_E_INVALID_PARAMETER;
  std::lock_guard<std::mutex> lock(state_->sinksMutex);
  std::uint32_t connection = state_->nextConnection++;
  state_->sinks[connection] = State::SinkEntry{id, eventMask, std::move(sink)};
  return Ok(connection);
}

HRESULT MaildirWatcher::Unadvise(std::uint32_t connection) {
  {
    std::lock_guard<std::mutex> lock(state_->sinksMutex);
    if (state_->sinks.erase(connection) == 0) return MAPI_E_NOT_FOUND;
  }
  if (std::this_thread::get_id() != thread_.get_id()) {
    // Wait for a sink that is running right now to return.
    std::lock_guard<std::mutex> wait(state_->dispatchMutex);
  }
  return S_OK;
}

void MaildirWatcher::Post(std::vector<Notification> notifications) {
  if (notifications.empty()) return;
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->queue.push_back(std::move(notifications));
  }
  state_->Wake();
}

void MaildirWatcher::ExpectArrival(const std::string& path) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  if (state_->inotifyFd < 0) return;
  if (state_->expected.size() >= kMaxExpected) state_->expected.clear();
  state_->expected.insert(path);
}

void MaildirWatcher::ForgetArrival(const std::string& path) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->expected.erase(path);
}

void MaildirWatcher::WatchFolder(const std::string& folderPath) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->WatchFolderLocked(folderPath);
}

}  // namespace quorvel::mapi
