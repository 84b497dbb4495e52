// The outcome of a file call: success, or the OS error (errno value) with a message
// that names what was tried and on which path ("cannot write /x/Bayes.raw: No space
// left on device").
#ifndef QUORVEL_PLATFORM_FILE_STATUS_H_
#define QUORVEL_PLATFORM_FILE_STATUS_H_

#include <string>
#include <string_view>

namespace quorvel::platform {

class FileStatus {
 public:
  FileStatus() = default;  // success
  // `what` is the attempted action ("cannot write"); the message adds the path and
  // the system's text for `code`.
  FileStatus(int code, std::string_view what, std::string_view path);
  // A failure whose message is `message` as it stands.
  static FileStatus WithMessage(int code, std::string message);

  bool ok() const { return code_ == 0; }
  int code() const { return code_; }
  const std::string& message() const { return message_; }

 private:
  int code_ = 0;
  std::string message_;
};

}  // namespace quorvel::platform

#endif  // QUORVEL_PLATFORM_FILE_STATUS_H_
