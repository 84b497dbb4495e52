#include "mapi/imap/imap_interrupt.h"

#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>

namespace quorvel::mapi::imap {

ImapInterrupt::ImapInterrupt() : eventFd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

ImapInterrupt::~ImapInterrupt() {
  if (eventFd_ >= 0) ::close(eventFd_);
}

void ImapInterrupt::Trigger() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (triggered_) return;
  triggered_ = true;
  for (int socket : sockets_) ::shutdown(socket, SHUT_RDWR);
  const std::uint64_t one = 1;
  if (::write(eventFd_, &one, sizeof one) < 0) {
    // an eventfd written once cannot be full; the sockets are shut down all the same
  }
}

bool ImapInterrupt::triggered() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return triggered_;
}

bool ImapInterrupt::Add(int socket) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (triggered_) return false;
  sockets_.insert(socket);
  return true;
}

void ImapInterrupt::Remove(int socket) {
  std::lock_guard<std::mutex> lock(mutex_);
  sockets_.erase(socket);
}

}  // namespace quorvel::mapi::imap
