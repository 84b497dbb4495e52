// FaultProxy: a TCP proxy on the loopback interface that passes a client's connections
// on to a server and breaks them on request, to test what a client does when the
// network or the server misbehaves:
//   - close the connection once the server has sent a number of bytes (at any byte);
//   - when the client sends a given text (a command): close before passing it on (the
//     server never sees it), close once the server has answered it (the server acted,
//     the answer is lost), or answer in the server's place with given bytes, optionally
//     followed by an endless stream (a huge literal).
// An armed fault is taken by the next connection that passes bytes and is then used
// up, unless it is `lasting`: a lasting command fault stays armed and strikes every
// connection, old and new, each time it sends the text, until disarmed (a server
// whose every such command fails). Without a fault bytes pass unchanged. Freeze stops every
// connection, old and new, from passing bytes either way while keeping it open: a peer that went
// silent (a cable pulled, a server stopped) rather than one that closed.
//
// Thread-safety: all methods may be called from any thread; the proxy runs one thread
// to accept and one per connection.
#ifndef QUORVEL_TESTING_FAULT_PROXY_H_
#define QUORVEL_TESTING_FAULT_PROXY_H_

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace quorvel::testing {

class FaultProxy {
 public:
  enum class Action {
    kCloseAfterServerBytes,  // `bytes` server bytes reach the client, then both sides close
    kCloseBeforeCommand,     // the client's text is dropped and both sides close
    kCloseAfterAnswer,       // the text reaches the server; its answer does not come back
    kReply,                  // `reply` goes to the client instead; the server sees nothing
    kReplyThenFlood,         // `reply`, then bytes without end until the client leaves
  };
  struct Fault {
    Action action = Action::kCloseAfterServerBytes;
    std::size_t bytes = 0;
    std::string clientText;  // the trigger for the command faults
    std::string reply;
    bool lasting = false;  // the command faults only: strikes until disarmed
  };

  explicit FaultProxy(std::uint16_t serverPort);
  ~FaultProxy();
  FaultProxy(const FaultProxy&) = delete;
  FaultProxy& operator=(const FaultProxy&) = delete;

  std::uint16_t port() const { return port_; }
  void Arm(const Fault& fault);
  void Disarm();
  void Freeze(bool frozen) { frozen_ = frozen; }
  // Whether the armed fault has struck (a lasting one: at least once).
  bool Struck() const { return struck_.load(); }
  int Connections() const { return connections_.load(); }

 private:
  void AcceptLoop();
  void Pump(int client, int server);

  std::uint16_t serverPort_;
  std::uint16_t port_ = 0;
  int listenFd_ = -1;
  int stopFd_ = -1;
  std::atomic<bool> struck_{false};
  std::atomic<bool> frozen_{false};
  std::atomic<int> connections_{0};
  std::mutex mutex_;
  std::optional<Fault> armed_;      // guarded by mutex_
  std::uint64_t arming_ = 0;        // guarded by mutex_; counts Arm and Disarm calls
  std::vector<std::thread> pumps_;  // guarded by mutex_
  std::thread acceptor_;
};

}  // namespace quorvel::testing

#endif  // QUORVEL_TESTING_FAULT_PROXY_H_
