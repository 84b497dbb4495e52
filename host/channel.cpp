#include "host/channel.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <map>
#include <ostream>
#include <streambuf>

namespace quorvel::host {

bool ChannelPath(const std::string& profile, std::string* path, std::string* error) {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && runtime[0] == '/') {
    *path = std::string(runtime) + "/quorvel-" + profile + ".sock";
    return true;
  }
  std::string folder = "/tmp/quorvel-" + std::to_string(::getuid());
  ::mkdir(folder.c_str(), 0700);
  struct stat st {};
  if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid() ||
      (st.st_mode & 077) != 0) {
    *error = folder + " is not a private folder of this user; set XDG_RUNTIME_DIR";
    return false;
  }
  *path = folder + "/" + profile + ".sock";
  return true;
}

bool SendFrame(platform::Socket& socket, const wire::Message& message) {
  std::string frame = wire::Encode(message);
  return socket.SendAll(frame.data(), frame.size());
}

std::optional<wire::Message> ReceiveFrame(platform::Socket& socket, bool* malformed) {
  if (malformed) *malformed = false;
  unsigned char header[4];
  if (!socket.ReceiveAll(header, 4)) return std::nullopt;
  std::uint32_t size =
      header[0] | header[1] << 8 | header[2] << 16 | static_cast<std::uint32_t>(header[3]) << 24;
  if (size == 0 || size > wire::kMaxFrame) {
    if (malformed) *malformed = true;
    return std::nullopt;
  }
  std::string body(size, '\0');
  if (!socket.ReceiveAll(body.data(), size)) return std::nullopt;
  auto message = wire::Decode(body);
  if (!message && malformed) *malformed = true;
  return message;
}

// One client: its socket, its reader, and the presenter that asks it.
struct ChannelServer::Connection final : public ui::Ui {
  platform::Socket socket;
  std::thread thread;
  bool finished = false;  // the thread is done; guarded by the server's mutex_

  mutable std::mutex mutex;  // guards everything below and serialises sends
  std::condition_variable answered;
  bool gone = false;
  bool interactive = false;
  std::uint32_t nextId = 1;
  std::map<std::uint32_t, wire::Answer> answers;
  std::map<std::uint32_t, bool> cancelled;

  bool Send(const wire::Message& message) {
    std::lock_guard lock(mutex);
    if (gone) return false;
    if (!SendFrame(socket, message)) gone = true;
    return !gone;
  }
  bool Gone() const {
    std::lock_guard lock(mutex);
    return gone;
  }
  void Disconnected() {
    std::lock_guard lock(mutex);
    gone = true;
    answered.notify_all();
  }
  void Deliver(wire::Answer answer) {
    std::lock_guard lock(mutex);
    answers[answer.id] = std::move(answer);
    answered.notify_all();
  }
  void Cancelled(std::uint32_t id) {
    std::lock_guard lock(mutex);
    cancelled[id] = true;
  }
  std::uint32_t NewId() {
    std::lock_guard lock(mutex);
    return nextId++;
  }
  // Sends a question and waits for its answer; nothing when the client went away.
  std::optional<wire::Answer> Ask(std::uint32_t id, const wire::Message& question) {
    if (!Send(question)) return std::nullopt;
    std::unique_lock lock(mutex);
    answered.wait(lock, [&] { return gone || answers.count(id) != 0; });
    auto it = answers.find(id);
    if (it == answers.end()) return std::nullopt;
    wire::Answer answer = std::move(it->second);
    answers.erase(it);
    return answer;
  }

  int Show(const std::string& text, const std::string& caption, std::uint32_t style) override {
    std::uint32_t id = NewId();
    auto answer = Ask(id, wire::MessageBox{id, text, caption, style});
    return answer ? answer->button : ui::CancelButton(style);
  }
  std::int32_t Present(ui::Dialog& dialog) override {
    std::uint32_t id = NewId();
    wire::DialogRequest request{id, dialog};
    request.dialog.validate = nullptr;
    auto answer = Ask(id, request);
    if (!answer) return dialog.cancelButton;
    // Only values come back, and only into controls of the same shape.
    for (std::size_t i = 0; i < dialog.controls.size() && i < answer->controls.size(); ++i) {
      ui::Control& mine = dialog.controls[i];
      const ui::Control& theirs = answer->controls[i];
      if (mine.id != theirs.id || mine.kind != theirs.kind || mine.readOnly || !mine.enabled) {
        continue;
      }
      mine.checked = theirs.checked;
      mine.text = theirs.text;
      if (theirs.selected >= -1 &&
          (theirs.selected < static_cast<std::int32_t>(mine.kind == ui::ControlKind::kChoice
                                                           ? mine.options.size()
                                                           : mine.rows.size()))) {
        mine.selected = theirs.selected;
      }
      if (theirs.rowChecked.size() == mine.rows.size()) mine.rowChecked = theirs.rowChecked;
    }
    return answer->button;
  }
  class ProxyProgress final : public ui::Progress {
   public:
    ProxyProgress(std::shared_ptr<Connection> c, std::uint32_t id) : c_(std::move(c)), id_(id) {}
    ~ProxyProgress() override { c_->Send(wire::ProgressUpdate{id_, 0, 0, "", true}); }
    // At most ten updates a second travel: work that updates per message would
    // otherwise spend its time on frames.
    void Update(std::uint64_t done, std::uint64_t total, const std::string& text) override {
      const auto now = std::chrono::steady_clock::now();
      if (now - lastSent_ < std::chrono::milliseconds(100)) return;
      lastSent_ = now;
      c_->Send(wire::ProgressUpdate{id_, done, total, text, false});
    }
    bool Cancelled() const override {
      std::lock_guard lock(c_->mutex);
      return c_->gone || c_->cancelled.count(id_) != 0;
    }

   private:
    std::shared_ptr<Connection> c_;
    std::uint32_t id_;
    std::chrono::steady_clock::time_point lastSent_{};
  };
  std::unique_ptr<ui::Progress> BeginProgress(const std::string& title) override {
    std::uint32_t id = NewId();
    Send(wire::ProgressUpdate{id, 0, 0, title, false});
    return std::make_unique<ProxyProgress>(self.lock(), id);
  }
  void Notify(const std::string& title, const std::string& text) override {
    Send(wire::Notice{title, text});
  }
  bool OpenUrl(const std::string& url) override {
    std::uint32_t id = NewId();
    auto answer = Ask(id, wire::OpenUrl{id, url});
    return answer && answer->button == 1;
  }
  bool Interactive() const override {
    std::lock_guard lock(mutex);
    return interactive && !gone;
  }

  std::weak_ptr<Connection> self;
};

namespace {

// Standard output or error of a command run for a client: sent in frames. Once the
// client is gone, writing fails, so that a command that checks its output (as every
// command writing a line per message does) stops at the next line.
class ForwardingBuffer final : public std::streambuf {
 public:
  ForwardingBuffer(ChannelServer::Connection* c, std::uint8_t stream) : c_(c), stream_(stream) {}
  ~ForwardingBuffer() override { sync(); }

 protected:
  int_type overflow(int_type ch) override {
    if (c_->Gone()) return traits_type::eof();
    if (ch != traits_type::eof()) buffer_.push_back(static_cast<char>(ch));
    if (buffer_.size() >= 4096 && sync() != 0) return traits_type::eof();
    return traits_type::not_eof(ch);
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    if (c_->Gone()) return 0;
    buffer_.append(s, static_cast<std::size_t>(n));
    if (buffer_.size() >= 4096 && sync() != 0) return 0;
    return n;
  }
  int sync() override {
    bool sent = true;
    if (!buffer_.empty()) sent = c_->Send(wire::Output{stream_, std::move(buffer_)});
    buffer_.clear();
    return sent ? 0 : -1;
  }

 private:
  ChannelServer::Connection* c_;
  std::uint8_t stream_;
  std::string buffer_;
};

}  // namespace

ChannelServer::ChannelServer(std::string path, platform::Socket listener, MessageLoop& loop,
                             Handlers handlers)
    : path_(std::move(path)),
      listener_(std::move(listener)),
      loop_(loop),
      handlers_(std::move(handlers)) {}

std::unique_ptr<ChannelServer> ChannelServer::Start(const std::string& path, MessageLoop& loop,
                                                    Handlers handlers, std::string* error) {
  platform::Socket listener = platform::ListenUnix(path, error);
  if (!listener.valid()) return nullptr;
  std::unique_ptr<ChannelServer> server(
      new ChannelServer(path, std::move(listener), loop, std::move(handlers)));
  server->acceptThread_ = std::thread([s = server.get()] { s->AcceptLoop(); });
  return server;
}

void ChannelServer::DisconnectClients() {
  std::lock_guard lock(mutex_);
  for (auto& c : connections_) {
    c->socket.Shutdown();
    c->Disconnected();
  }
}

ChannelServer::~ChannelServer() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  DisconnectClients();
  listener_.Shutdown();
  if (acceptThread_.joinable()) acceptThread_.join();
  std::list<std::shared_ptr<Connection>> connections;
  {
    std::lock_guard lock(mutex_);
    connections.swap(connections_);
  }
  for (auto& c : connections) {
    if (c->thread.joinable()) c->thread.join();
  }
  ::unlink(path_.c_str());
}

void ChannelServer::Reap() {
  std::list<std::shared_ptr<Connection>> done;
  {
    std::lock_guard lock(mutex_);
    for (auto it = connections_.begin(); it != connections_.end();) {
      if ((*it)->finished) {
        done.push_back(*it);
        it = connections_.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (auto& c : done) c->thread.join();
}

void ChannelServer::AcceptLoop() {
  for (;;) {
    platform::Socket socket = platform::AcceptUnix(listener_);
    Reap();
    if (!socket.valid()) return;
    auto connection = std::make_shared<Connection>();
    connection->self = connection;
    connection->socket = std::move(socket);
    std::lock_guard lock(mutex_);
    if (stopping_) return;
    connections_.push_back(connection);
    connection->thread = std::thread([this, connection] {
      Serve(connection);
      std::lock_guard inner(mutex_);
      connection->finished = true;
    });
  }
}

void ChannelServer::Serve(const std::shared_ptr<Connection>& c) {
  if (platform::PeerUid(c->socket) != static_cast<long>(::getuid())) {
    c->Send(wire::Refused{"the host serves only its own user"});
    c->Disconnected();
    return;
  }
  bool malformed = false;
  auto first = ReceiveFrame(c->socket, &malformed);
  if (!first) {
    if (malformed) c->Send(wire::Refused{"malformed request"});
    c->Disconnected();
    return;
  }
  if (std::holds_alternative<wire::StatusRequest>(*first)) {
    c->Send(handlers_.status ? handlers_.status() : wire::Status{});
    c->Disconnected();
    return;
  }
  const auto* run = std::get_if<wire::Run>(&*first);
  if (run == nullptr || run->argv.empty() || !handlers_.run) {
    c->Send(wire::Refused{"malformed request"});
    c->Disconnected();
    return;
  }
  // The client's standard input comes as a descriptor right after the request; it is
  // closed once the command has run (or was dropped).
  int received = -1;
  if (run->standardInput) {
    received = c->socket.ReceiveDescriptor();
    if (received < 0) {
      c->Send(wire::Refused{"malformed request"});
      c->Disconnected();
      return;
    }
  }
  auto input = std::shared_ptr<int>(new int(received), [](int* fd) {
    if (*fd >= 0) ::close(*fd);
    delete fd;
  });
  {
    std::lock_guard lock(c->mutex);
    c->interactive = run->interactive && !run->yes;
  }
  // The command runs on the user-interface thread; this thread goes on reading the
  // client's answers until the command is done or the client leaves.
  loop_.Post([this, c, input, request = *run] {
    {
      std::lock_guard lock(c->mutex);
      if (c->gone) return;  // the client left before its turn
    }
    int status = 1;
    {
      ForwardingBuffer outBuffer(c.get(), 1), errBuffer(c.get(), 2);
      std::ostream out(&outBuffer), err(&errBuffer);
      status = handlers_.run(request, out, err, *input, c);
    }
    c->Send(wire::Done{status});
    c->socket.Shutdown();  // ends the reader below
  });
  for (;;) {
    auto message = ReceiveFrame(c->socket, &malformed);
    if (!message) break;
    if (auto* answer = std::get_if<wire::Answer>(&*message)) {
      c->Deliver(std::move(*answer));
    } else if (auto* cancel = std::get_if<wire::Cancel>(&*message)) {
      c->Cancelled(cancel->id);
    } else {
      break;  // nothing else is expected while a command runs
    }
  }
  c->Disconnected();
}

ClientResult RunInHost(const std::string& path, const wire::Run& request, ui::Ui& presenter,
                       std::ostream& out, std::ostream& err, int standardInput) {
  wire::Run run = request;
  run.standardInput = standardInput >= 0;
  ClientResult result;
  std::string error;
  platform::Socket socket = platform::ConnectUnix(path, &error);
  if (!socket.valid()) {
    result.error = error;
    return result;
  }
  result.connected = true;
  if (!SendFrame(socket, run) || (run.standardInput && !socket.SendDescriptor(standardInput))) {
    result.error = "the host closed the connection before the command was sent";
    return result;
  }
  std::map<std::uint32_t, std::unique_ptr<ui::Progress>> progress;
  for (;;) {
    bool malformed = false;
    auto message = ReceiveFrame(socket, &malformed);
    if (!message) {
      result.error = malformed ? "the host sent a malformed answer"
                               : "the host ended before the command finished";
      return result;
    }
    if (auto* m = std::get_if<wire::Output>(&*message)) {
      (m->stream == 2 ? err : out) << m->text << std::flush;
    } else if (auto* box = std::get_if<wire::MessageBox>(&*message)) {
      int button = presenter.Show(box->text, box->caption, box->style);
      SendFrame(socket, wire::Answer{box->id, button, {}});
    } else if (auto* dialog = std::get_if<wire::DialogRequest>(&*message)) {
      std::int32_t button = presenter.Present(dialog->dialog);
      SendFrame(socket, wire::Answer{dialog->id, button, dialog->dialog.controls});
    } else if (auto* p = std::get_if<wire::ProgressUpdate>(&*message)) {
      auto it = progress.find(p->id);
      if (p->ended) {
        if (it != progress.end()) progress.erase(it);
      } else if (it == progress.end()) {
        progress[p->id] = presenter.BeginProgress(p->text);
      } else if (it->second) {
        it->second->Update(p->done, p->total, p->text);
        if (it->second->Cancelled()) SendFrame(socket, wire::Cancel{p->id});
      }
    } else if (auto* notice = std::get_if<wire::Notice>(&*message)) {
      presenter.Notify(notice->title, notice->text);
    } else if (auto* url = std::get_if<wire::OpenUrl>(&*message)) {
      SendFrame(socket, wire::Answer{url->id, presenter.OpenUrl(url->url) ? 1 : 0, {}});
    } else if (auto* done = std::get_if<wire::Done>(&*message)) {
      result.status = done->status;
      return result;
    } else if (auto* refused = std::get_if<wire::Refused>(&*message)) {
      result.error = "the host refused the command: " + refused->reason;
      return result;
    } else {
      result.error = "the host sent an unexpected answer";
      return result;
    }
  }
}

std::optional<wire::Status> QueryHostStatus(const std::string& path, std::string* error) {
  platform::Socket socket = platform::ConnectUnix(path, error);
  if (!socket.valid()) return std::nullopt;
  if (!SendFrame(socket, wire::StatusRequest{})) {
    *error = "the host closed the connection";
    return std::nullopt;
  }
  auto message = ReceiveFrame(socket);
  if (message) {
    if (auto* status = std::get_if<wire::Status>(&*message)) return *status;
    if (auto* refused = std::get_if<wire::Refused>(&*message)) {
      *error = "the host refused: " + refused->reason;
      return std::nullopt;
    }
  }
  *error = "the host gave no status";
  return std::nullopt;
}

}  // namespace quorvel::host
