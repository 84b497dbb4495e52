// One client of the channel (internal to channel.cpp): its socket, its running jobs,
// the answers and cancels its reader routes to them, its queued events; and the
// presenter and output streams through which a job reaches that client.
//
// Locks: sendMutex serialises frames on the socket; mutex guards everything marked so
// below and is never held while sending or while a job runs. A job waiting for an
// answer waits on `changed`, and wakes when the answer comes, the client leaves or
// the job is cancelled.
#ifndef QUORVEL_HOST_CHANNEL_CONNECTION_H_
#define QUORVEL_HOST_CHANNEL_CONNECTION_H_

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <streambuf>
#include <string>
#include <thread>
#include <utility>

#include "host/channel.h"
#include "host/job.h"
#include "host/protocol.h"
#include "platform/unix_socket.h"
#include "ui/ui.h"

namespace quorvel::host {

struct ChannelServer::Connection {
  struct Job {
    std::shared_ptr<Cancellation> cancel;
    std::thread thread;
    bool done = false;
  };
  using QuestionKey = std::pair<std::uint64_t, std::uint64_t>;  // request id, question

  platform::Socket socket;
  std::thread reader;
  bool finished = false;  // the reader is done; guarded by the server's mutex_
  int clientMinor = 0;    // the client's protocol minor; set by the handshake, then read only

  std::mutex sendMutex;
  // Guards the descriptor's closing against a shutdown from another thread; held for
  // no blocking call.
  std::mutex socketMutex;
  std::mutex mutex;
  std::condition_variable changed;
  bool gone = false;     // guarded by mutex
  Cancellation leaving;  // cancelled when the client is gone: ends the reader's own waits
  std::map<QuestionKey, protocol::Answer> answers;  // guarded by mutex
  std::set<QuestionKey> cancelledProgress;          // guarded by mutex
  std::map<std::uint64_t, Job> jobs;                // guarded by mutex
  std::uint64_t nextQuestion = 1;                   // guarded by mutex
  std::deque<protocol::Event> events;               // guarded by mutex
  bool eventsOverflowed = false;                    // guarded by mutex
  int subscription = 0;                             // the bus's id; reader thread only
  std::thread eventSender;                          // reader thread only
  // Take requests waiting for the client's answer: request id to interaction id.
  std::map<std::uint64_t, std::uint64_t> takes;  // reader thread only

  // False when the client is gone (then it stays gone).
  bool Send(const protocol::Message& message);
  // Sends without waiting, or not at all (a client that does not read). False when
  // another frame was being sent: try again a moment later.
  bool SendIfRoom(const protocol::Message& message);
  // The client left or is cut off: every wait of its jobs returns, every job is
  // cancelled, a send or read blocked on the socket ends.
  void Gone();
  // Gives the descriptor back. REQUIRES: the reader, jobs and event sender are done.
  void Close();
  bool IsGone();
  std::uint64_t NewQuestion();
  // Asks question `key` and waits for its answer; nothing when the client left or
  // the job was cancelled first.
  std::optional<protocol::Answer> Ask(QuestionKey key, const protocol::Message& question,
                                      Cancellation& cancel);
};

// The presenter of a job: its questions go to the job's client and wait for the
// answer (the cancel answer when the client leaves or the job is cancelled); its
// progress travels at most ten times a second, and the last update before the end
// always travels. With `keepsDialogsOpen` (a client of minor 1 or later) a dialog kept
// open stays open at the client (dialog-open, -change, -next, -close); an older
// client is sent the shown page again for each press.
std::shared_ptr<ui::Ui> MakeJobPresenter(std::shared_ptr<ChannelServer::Connection> connection,
                                         std::uint64_t job, std::shared_ptr<Cancellation> cancel,
                                         bool interactive, bool keepsDialogsOpen);

// A job's standard output or error, sent in frames. Once the client is gone writing
// fails, so that a command that checks its output stops at the next line.
class JobOutputBuffer final : public std::streambuf {
 public:
  JobOutputBuffer(ChannelServer::Connection& c, std::uint64_t job, int stream)
      : c_(c), job_(job), stream_(stream) {}
  ~JobOutputBuffer() override { sync(); }

 protected:
  int_type overflow(int_type ch) override;
  std::streamsize xsputn(const char* s, std::streamsize n) override;
  int sync() override;

 private:
  ChannelServer::Connection& c_;
  std::uint64_t job_;
  int stream_;
  std::string buffer_;
};

}  // namespace quorvel::host

#endif  // QUORVEL_HOST_CHANNEL_CONNECTION_H_
