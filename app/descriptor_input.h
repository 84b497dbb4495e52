// DescriptorInput: an input stream that reads a descriptor it does not own, such as
// the standard input a client passed to the host with its command. With a
// cancellation descriptor, a read waits on both and ends the stream (a read error) as
// soon as that one becomes readable, so that a job whose client holds its input open
// stops when it is cancelled.
#ifndef QUORVEL_APP_DESCRIPTOR_INPUT_H_
#define QUORVEL_APP_DESCRIPTOR_INPUT_H_

#include <istream>
#include <streambuf>

namespace quorvel::app {

class DescriptorBuffer final : public std::streambuf {
 public:
  explicit DescriptorBuffer(int fd, int cancelFd = -1) : fd_(fd), cancelFd_(cancelFd) {}

 protected:
  int_type underflow() override;

 private:
  int fd_;
  int cancelFd_;
  char buffer_[1 << 16];
};

class DescriptorInput final : public std::istream {
 public:
  // `fd` (and `cancelFd`, -1 for none) stay open and must outlive the stream.
  explicit DescriptorInput(int fd, int cancelFd = -1)
      : std::istream(nullptr), buffer_(fd, cancelFd) {
    rdbuf(&buffer_);
  }

 private:
  DescriptorBuffer buffer_;
};

}  // namespace quorvel::app

#endif  // QUORVEL_APP_DESCRIPTOR_INPUT_H_
