#include "host/channel_connection.h"

#include <sys/socket.h>

#include <chrono>

#include "host/dialog_answer.h"
#include "host/frames.h"
#include "ui/throttled_progress.h"

namespace quorvel::host {

using Connection = ChannelServer::Connection;

bool Connection::Send(const protocol::Message& message) {
  if (IsGone()) return false;
  bool sent;
  {
    std::lock_guard lock(sendMutex);
    sent = SendMessage(socket, message);
  }
  if (!sent) Gone();
  return sent;
}

bool Connection::SendIfRoom(const protocol::Message& message) {
  std::unique_lock lock(sendMutex, std::try_to_lock);
  if (!lock.owns_lock()) return false;
  if (!socket.valid()) return true;
  const std::string frame = protocol::Encode(message);
  [[maybe_unused]] ssize_t n =
      ::send(socket.fd(), frame.data(), frame.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
  return true;
}

void Connection::Gone() {
  std::vector<std::shared_ptr<Cancellation>> cancels;
  {
    std::lock_guard lock(mutex);
    gone = true;
    for (auto& [id, job] : jobs) cancels.push_back(job.cancel);
    changed.notify_all();
  }
  {
    std::lock_guard lock(socketMutex);
    socket.Shutdown();
  }
  for (auto& cancel : cancels) cancel->Cancel();
  leaving.Cancel();
}

void Connection::Close() {
  std::scoped_lock lock(sendMutex, socketMutex);
  socket = platform::Socket();
}

bool Connection::IsGone() {
  std::lock_guard lock(mutex);
  return gone;
}

std::uint64_t Connection::NewQuestion() {
  std::lock_guard lock(mutex);
  return nextQuestion++;
}

std::optional<protocol::Answer> Connection::Ask(QuestionKey key, const protocol::Message& question,
                                                Cancellation& cancel) {
  if (!Send(question)) return std::nullopt;
  const int wake = cancel.OnCancel([this] {
    std::lock_guard lock(mutex);
    changed.notify_all();
  });
  std::optional<protocol::Answer> answer;
  {
    std::unique_lock lock(mutex);
    changed.wait(lock, [&] { return gone || cancel.cancelled() || answers.count(key) != 0; });
    if (auto it = answers.find(key); it != answers.end()) {
      answer = std::move(it->second);
      answers.erase(it);
    }
  }
  cancel.Forget(wake);
  if (cancel.cancelled()) return std::nullopt;
  return answer;
}

namespace {

// A job's progress at its client: each update one frame (ThrottledProgress in front
// keeps them to ten a second), its end a frame of its own.
class JobProgress final : public ui::Progress {
 public:
  JobProgress(std::shared_ptr<Connection> c, std::uint64_t job, std::uint64_t id,
              std::shared_ptr<Cancellation> cancel)
      : c_(std::move(c)), job_(job), id_(id), cancel_(std::move(cancel)) {}
  ~JobProgress() override { c_->Send(protocol::ProgressUpdate{job_, id_, 0, 0, "", true}); }
  void Update(std::uint64_t done, std::uint64_t total, const std::string& text) override {
    c_->Send(protocol::ProgressUpdate{job_, id_, done, total, text, false});
  }
  bool Cancelled() const override {
    if (cancel_->cancelled()) return true;
    std::lock_guard lock(c_->mutex);
    return c_->gone || c_->cancelledProgress.count({job_, id_}) != 0;
  }

 private:
  std::shared_ptr<Connection> c_;
  std::uint64_t job_, id_;
  std::shared_ptr<Cancellation> cancel_;
};

// A dialog kept open at the client: opened once, changed in place, each press asked
// for with dialog-next and answered with the button, the page and its values.
class ChannelSession final : public ui::DialogSession {
 public:
  ChannelSession(std::shared_ptr<Connection> c, std::uint64_t job,
                 std::shared_ptr<Cancellation> cancel, ui::Dialog& dialog)
      : c_(std::move(c)),
        job_(job),
        question_(c_->NewQuestion()),
        cancel_(std::move(cancel)),
        dialog_(dialog) {
    protocol::DialogOpen open{job_, question_, dialog_};
    open.dialog.validate = nullptr;
    open.dialog.validatePage = nullptr;
    open.dialog.nextPage = nullptr;
    c_->Send(open);
  }
  ~ChannelSession() override { c_->Send(protocol::DialogClose{job_, question_}); }

  std::int32_t Next() override {
    auto answer = c_->Ask({job_, question_}, protocol::DialogNext{job_, question_}, *cancel_);
    if (!answer) return dialog_.cancelButton;
    // The values are those of the page the user pressed the button on.
    if (!answer->page.empty() && dialog_.FindPage(answer->page) != nullptr) {
      dialog_.currentPage = answer->page;
    }
    ui::Dialog shown;
    shown.controls = std::move(answer->controls);
    ui::CopyValuesBack(shown, dialog_);
    // A sheet's other tabs, which a window lets the user change without a press.
    const std::string pressedOn = dialog_.currentPage;
    for (auto& [page, controls] : answer->otherPages) {
      if (page == pressedOn || dialog_.FindPage(page) == nullptr) continue;
      dialog_.currentPage = page;
      shown.controls = std::move(controls);
      ui::CopyValuesBack(shown, dialog_);
    }
    dialog_.currentPage = pressedOn;
    return answer->button;
  }
  bool Update(const ui::DialogChange& change) override {
    if (!ui::ApplyChange(dialog_, change)) return false;
    c_->Send(protocol::DialogChangeMessage{job_, question_, change});
    return true;
  }
  ui::Dialog& dialog() override { return dialog_; }

 private:
  std::shared_ptr<Connection> c_;
  std::uint64_t job_, question_;
  std::shared_ptr<Cancellation> cancel_;
  ui::Dialog& dialog_;
};

class JobUi final : public ui::Ui {
 public:
  JobUi(std::shared_ptr<Connection> c, std::uint64_t job, std::shared_ptr<Cancellation> cancel,
        bool interactive, bool keepsDialogsOpen)
      : c_(std::move(c)),
        job_(job),
        cancel_(std::move(cancel)),
        interactive_(interactive),
        keepsDialogsOpen_(keepsDialogsOpen) {}

  std::unique_ptr<ui::DialogSession> Open(ui::Dialog& dialog) override {
    if (!keepsDialogsOpen_) return ui::PresentEachTime(*this, dialog);
    return std::make_unique<ChannelSession>(c_, job_, cancel_, dialog);
  }

  int Show(const std::string& text, const std::string& caption, std::uint32_t style) override {
    const std::uint64_t q = c_->NewQuestion();
    auto answer = c_->Ask({job_, q}, protocol::MessageBox{job_, q, text, caption, style}, *cancel_);
    return answer ? answer->button : ui::CancelButton(style);
  }
  std::int32_t Present(ui::Dialog& dialog) override {
    const std::uint64_t q = c_->NewQuestion();
    protocol::DialogRequest request{job_, q, dialog};
    request.dialog.validate = nullptr;
    auto answer = c_->Ask({job_, q}, request, *cancel_);
    if (!answer) return dialog.cancelButton;
    TakeDialogAnswer(dialog, answer->controls);
    return answer->button;
  }
  std::unique_ptr<ui::Progress> BeginProgress(const std::string& title) override {
    const std::uint64_t id = c_->NewQuestion();
    c_->Send(protocol::ProgressUpdate{job_, id, 0, 0, title, false});
    return std::make_unique<ui::ThrottledProgress>(
        std::make_unique<JobProgress>(c_, job_, id, cancel_), std::chrono::milliseconds(100));
  }
  void Notify(const std::string& title, const std::string& text) override {
    c_->Send(protocol::Notice{job_, title, text});
  }
  bool OpenUrl(const std::string& url) override {
    const std::uint64_t q = c_->NewQuestion();
    auto answer = c_->Ask({job_, q}, protocol::OpenUrl{job_, q, url}, *cancel_);
    return answer && answer->button == 1;
  }
  bool Interactive() const override {
    return interactive_ && !cancel_->cancelled() && !c_->IsGone();
  }

 private:
  std::shared_ptr<Connection> c_;
  std::uint64_t job_;
  std::shared_ptr<Cancellation> cancel_;
  bool interactive_;
  bool keepsDialogsOpen_;
};

}  // namespace

std::shared_ptr<ui::Ui> MakeJobPresenter(std::shared_ptr<Connection> connection, std::uint64_t job,
                                         std::shared_ptr<Cancellation> cancel, bool interactive,
                                         bool keepsDialogsOpen) {
  return std::make_shared<JobUi>(std::move(connection), job, std::move(cancel), interactive,
                                 keepsDialogsOpen);
}

JobOutputBuffer::int_type JobOutputBuffer::overflow(int_type ch) {
  if (c_.IsGone()) return traits_type::eof();
  if (ch != traits_type::eof()) buffer_.push_back(static_cast<char>(ch));
  if (buffer_.size() >= 4096 && sync() != 0) return traits_type::eof();
  return traits_type::not_eof(ch);
}

std::streamsize JobOutputBuffer::xsputn(const char* s, std::streamsize n) {
  if (c_.IsGone()) return 0;
  buffer_.append(s, static_cast<std::size_t>(n));
  if (buffer_.size() >= 4096 && sync() != 0) return 0;
  return n;
}

int JobOutputBuffer::sync() {
  bool sent = true;
  if (!buffer_.empty()) sent = c_.Send(protocol::Output{job_, stream_, std::move(buffer_)});
  buffer_.clear();
  return sent ? 0 : -1;
}

}  // namespace quorvel::host
