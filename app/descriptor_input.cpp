#include "app/descriptor_input.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <ios>

namespace quorvel::app {

DescriptorBuffer::int_type DescriptorBuffer::underflow() {
  if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
  if (cancelFd_ >= 0) {
    pollfd fds[2] = {{fd_, POLLIN, 0}, {cancelFd_, POLLIN, 0}};
    int ready;
    do {
      ready = ::poll(fds, 2, -1);
    } while (ready < 0 && errno == EINTR);
    if (ready < 0 || (fds[1].revents & POLLIN) != 0) {
      throw std::ios_base::failure("cancelled");  // the stream sets badbit
    }
  }
  ssize_t n;
  do {
    n = ::read(fd_, buffer_, sizeof buffer_);
  } while (n < 0 && errno == EINTR);
  if (n < 0) throw std::ios_base::failure("read failed");  // the stream sets badbit
  if (n == 0) return traits_type::eof();
  setg(buffer_, buffer_, buffer_ + n);
  return traits_type::to_int_type(*gptr());
}

}  // namespace quorvel::app
