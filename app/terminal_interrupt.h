// Ctrl-C as Cancel while work shows its progress at the terminal. While at least one
// InterruptAsCancel lives, the first SIGINT cancels every token registered (the work
// sees Cancelled() at once and ends cleanly) instead of ending the program; a second
// SIGINT ends the program as SIGINT always did. When the last one goes, SIGINT's
// disposition is put back as it was. A SIGINT that was ignored stays ignored, and a
// thread that blocks SIGINT to wait for it (`quorvel run`) still gets it.
//
// Signals are the process's: the registry behind this class is process-wide, and a
// thread of its own (started on first use, never stopped) turns the signal into
// cancellations, since a signal handler may not take locks. Thread-safe.
#ifndef QUORVEL_APP_TERMINAL_INTERRUPT_H_
#define QUORVEL_APP_TERMINAL_INTERRUPT_H_

#include "ui/cancellation.h"

namespace quorvel::app {

class InterruptAsCancel {
 public:
  // REQUIRES: `token` outlives this object.
  explicit InterruptAsCancel(ui::CancellationToken& token);
  ~InterruptAsCancel();
  InterruptAsCancel(const InterruptAsCancel&) = delete;
  InterruptAsCancel& operator=(const InterruptAsCancel&) = delete;

 private:
  ui::CancellationToken& token_;
};

}  // namespace quorvel::app

#endif  // QUORVEL_APP_TERMINAL_INTERRUPT_H_
