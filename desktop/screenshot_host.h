// GalleryHost: the host the screenshot gallery shows the explorer of, in a home of its
// own: a Maildir whose Inbox holds the messages of testdata/mail (and a "Lists"
// folder), a profile on it made the default, and `quorvel run` started there. The
// process's environment is pointed at that home, so that the explorer finds the host
// as it would the user's. Stopped, and the home removed, when the object goes.
//
// Not thread-safe.
#ifndef QUORVEL_DESKTOP_SCREENSHOT_HOST_H_
#define QUORVEL_DESKTOP_SCREENSHOT_HOST_H_

#include <memory>
#include <string>
#include <vector>

#include "desktop/host_requests.h"
#include "testing/host_process.h"
#include "testing/temporary_home.h"

namespace quorvel::desktop {

class GalleryHost {
 public:
  GalleryHost();
  ~GalleryHost();

  // Fills the Maildir from `testMail` and starts the host; false with *error when
  // it could not.
  bool Start(const std::string& quorvelProgram, const std::string& testMail, std::string* error);

  // The Inbox's files, by name.
  const std::vector<std::string>& messages() const { return messages_; }
  // `quorvel classify --json` of one of them; false when it gave no verdict.
  bool Classify(const std::string& message, VerdictText* verdict) const;

 private:
  std::unique_ptr<testing::TemporaryHome> home_;
  std::unique_ptr<testing::HostProcess> host_;
  std::string inbox_;
  std::vector<std::string> messages_;
};

}  // namespace quorvel::desktop

#endif  // QUORVEL_DESKTOP_SCREENSHOT_HOST_H_
