// DescriptorInput: an input stream that reads a descriptor it does not own, such as
// the standard input a client passed to the host with its command.
#ifndef QUORVEL_APP_DESCRIPTOR_INPUT_H_
#define QUORVEL_APP_DESCRIPTOR_INPUT_H_

#include <istream>
#include <streambuf>

namespace quorvel::app {

class DescriptorBuffer final : public std::streambuf {
 public:
  explicit DescriptorBuffer(int fd) : fd_(fd) {}

 protected:
  int_type underflow() override;

 private:
  int fd_;
  char buffer_[1 << 16];
};

class DescriptorInput final : public std::istream {
 public:
  // `fd` stays open and must outlive the stream.
  explicit DescriptorInput(int fd) : std::istream(nullptr), buffer_(fd) { rdbuf(&buffer_); }

 private:
  DescriptorBuffer buffer_;
};

}  // namespace quorvel::app

#endif  // QUORVEL_APP_DESCRIPTOR_INPUT_H_
