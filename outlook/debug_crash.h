// A fault on purpose inside the add-in's own code, so that a user or support can see
// that exception reports are written (`quorvel debug crash`). Never returns: the
// process dies of SIGSEGV after the reporter (when installed) wrote its report.
#ifndef QUORVEL_OUTLOOK_DEBUG_CRASH_H_
#define QUORVEL_OUTLOOK_DEBUG_CRASH_H_

namespace quorvel::outlook {

[[noreturn]] void CrashOnPurpose();

}  // namespace quorvel::outlook

#endif  // QUORVEL_OUTLOOK_DEBUG_CRASH_H_
