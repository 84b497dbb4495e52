#include "testing/fault_proxy.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quorvel::testing {
namespace {

int ConnectLoopback(std::uint16_t port) {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(port);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

bool SendAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

FaultProxy::FaultProxy(std::uint16_t serverPort)
    : serverPort_(serverPort), stopFd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
  listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
      ::listen(listenFd_, 16) == 0 &&
      ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len) == 0) {
    port_ = ntohs(addr.sin_port);
  }
  acceptor_ = std::thread([this] { AcceptLoop(); });
}

FaultProxy::~FaultProxy() {
  std::uint64_t one = 1;
  if (::write(stopFd_, &one, sizeof one) < 0) {
    // cannot fail for an eventfd written once
  }
  acceptor_.join();
  std::vector<std::thread> pumps;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    pumps.swap(pumps_);
  }
  for (std::thread& t : pumps) t.join();
  ::close(listenFd_);
  ::close(stopFd_);
}

void FaultProxy::Arm(const Fault& fault) {
  std::lock_guard<std::mutex> lock(mutex_);
  armed_ = fault;
  ++arming_;
  struck_ = false;
}

void FaultProxy::Disarm() {
  std::lock_guard<std::mutex> lock(mutex_);
  armed_.reset();
  ++arming_;
}

void FaultProxy::AcceptLoop() {
  for (;;) {
    pollfd fds[2] = {{listenFd_, POLLIN, 0}, {stopFd_, POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) continue;
    if (fds[1].revents & POLLIN) return;
    int client = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) continue;
    int server = ConnectLoopback(serverPort_);
    if (server < 0) {
      ::close(client);
      continue;
    }
    ++connections_;
    std::lock_guard<std::mutex> lock(mutex_);
    pumps_.emplace_back([this, client, server] { Pump(client, server); });
  }
}

void FaultProxy::Pump(int client, int server) {
  std::optional<Fault> fault;
  std::size_t serverBytes = 0;
  bool awaitingAnswer = false;  // kCloseAfterAnswer: the command went through
  std::string clientSeen;       // the client's bytes, for the trigger
  char buf[16384];
  bool open = true;
  // A connection takes the armed fault only once bytes pass, so that one on its way
  // out does not use it up.
  // A lasting fault is copied rather than taken, and given up once disarmed or
  // replaced.
  std::uint64_t takenArming = 0;
  auto take = [&] {
    std::lock_guard<std::mutex> lock(mutex_);
    if (fault && fault->lasting && takenArming != arming_) fault.reset();
    if (fault || !armed_) return;
    takenArming = arming_;
    if (armed_->lasting) {
      fault = armed_;
    } else {
      fault.swap(armed_);
    }
    serverBytes = 0;
  };
  while (open) {
    pollfd fds[3] = {{client, POLLIN, 0}, {server, POLLIN, 0}, {stopFd_, POLLIN, 0}};
    const nfds_t watched = frozen_ ? 0 : 2;  // frozen: only the stop signal
    if (::poll(fds + 2 - watched, watched + 1, 100) < 0) continue;
    if (fds[2].revents & POLLIN) break;
    if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
      ssize_t n = ::recv(client, buf, sizeof buf, 0);
      if (n <= 0) break;
      take();
      std::string chunk(buf, static_cast<std::size_t>(n));
      if (fault && !fault->clientText.empty() && fault->action != Action::kCloseAfterServerBytes) {
        clientSeen += chunk;
        if (clientSeen.find(fault->clientText) != std::string::npos) {
          struck_ = true;
          Action action = fault->action;
          std::string reply = fault->reply;
          fault.reset();
          clientSeen.clear();
          if (action == Action::kCloseBeforeCommand) break;
          if (action == Action::kCloseAfterAnswer) {
            if (!SendAll(server, chunk.data(), chunk.size())) break;
            awaitingAnswer = true;
            continue;
          }
          if (!SendAll(client, reply.data(), reply.size())) break;
          if (action == Action::kReplyThenFlood) {
            std::string flood(sizeof buf, 'x');
            while (SendAll(client, flood.data(), flood.size())) {
              pollfd stop{stopFd_, POLLIN, 0};
              if (::poll(&stop, 1, 0) > 0) break;
            }
            break;
          }
          continue;
        }
        if (clientSeen.size() > 65536) clientSeen.erase(0, clientSeen.size() - 1024);
      }
      if (!SendAll(server, chunk.data(), chunk.size())) break;
    }
    if (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) {
      ssize_t n = ::recv(server, buf, sizeof buf, 0);
      if (n <= 0) break;
      take();
      if (awaitingAnswer) {
        // Wait for the tagged answer to the command, then drop it and the connection.
        if (std::string(buf, static_cast<std::size_t>(n)).find(" OK") != std::string::npos ||
            std::string(buf, static_cast<std::size_t>(n)).find(" NO") != std::string::npos) {
          break;
        }
        continue;
      }
      std::size_t pass = static_cast<std::size_t>(n);
      if (fault && fault->action == Action::kCloseAfterServerBytes) {
        std::size_t left = fault->bytes - serverBytes;
        if (pass >= left) {
          pass = left;
          open = false;
          struck_ = true;
        }
      }
      serverBytes += pass;
      if (pass > 0 && !SendAll(client, buf, pass)) break;
    }
  }
  ::shutdown(client, SHUT_RDWR);
  ::shutdown(server, SHUT_RDWR);
  ::close(client);
  ::close(server);
}

}  // namespace quorvel::testing
