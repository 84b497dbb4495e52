// Message boxes for a command that runs without a dialog: each message is printed
// on the error stream as "quorvel: <text>" and answered with the box's default
// button (OK, or No for a question, so that nothing is done that was not asked for).
#ifndef QUORVEL_APP_TERMINAL_MESSAGE_BOXES_H_
#define QUORVEL_APP_TERMINAL_MESSAGE_BOXES_H_

#include <iosfwd>
#include <mutex>

#include "platform/message_box.h"

namespace quorvel::app {

class TerminalMessageBoxes final : public platform::MessageBoxes {
 public:
  // `err` must outlive this object.
  explicit TerminalMessageBoxes(std::ostream& err) : err_(err) {}
  int Show(const std::string& text, const std::string& caption, std::uint32_t style) override;

 private:
  std::mutex mutex_;  // serialises writes to err_
  std::ostream& err_;
};

}  // namespace quorvel::app

#endif  // QUORVEL_APP_TERMINAL_MESSAGE_BOXES_H_
