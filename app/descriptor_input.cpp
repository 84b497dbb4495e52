#include "app/descriptor_input.h"

#include <unistd.h>

#include <cerrno>
#include <ios>

namespace quorvel::app {

DescriptorBuffer::int_type DescriptorBuffer::underflow() {
  if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
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
