#include "outlook/debug_crash.h"

#include <csignal>

#include "crash/reporter.h"

namespace quorvel::outlook {

// The write to address 0 is meant: a sanitizer build's undefined-behaviour checks must
// let the fault happen.
__attribute__((no_sanitize("undefined"))) void CrashOnPurpose() {
  crash::OwnCodeScope ownCode;
  // Through a volatile pointer, so that the compiler keeps a real write to address 0.
  volatile int* volatile target = nullptr;
  *target = 1;
  raise(SIGSEGV);  // unreachable unless page 0 is mapped
  for (;;) {
  }
}

}  // namespace quorvel::outlook
