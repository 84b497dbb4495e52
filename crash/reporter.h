// The process-wide exception reporter: handlers for the fatal signals (SIGSEGV,
// SIGBUS, SIGILL, SIGFPE, SIGABRT) that write "ExceptionReport.txt" and a marker that
// a report waits to be offered, then hand the signal to whatever handled it before
// (the default action: the process dies as it would have and leaves its core dump).
//
// A report is written only while the reporter is enabled, only for a fault on a
// thread that is inside the add-in's own code (an OwnCodeScope is open on it), and
// only for the first such fault of the process; any other fault goes straight to the
// previous handler. The handler runs on an alternate signal stack (the installing
// thread's, and that of each thread that opens an OwnCodeScope), so that a stack
// overflow is reported too. It uses async-signal-safe calls only.
//
// Thread-safety: Install and Uninstall from one thread (the host's start and stop);
// SetReporterEnabled and OwnCodeScope from any thread.
#ifndef QUORVEL_CRASH_REPORTER_H_
#define QUORVEL_CRASH_REPORTER_H_

#include <string>

namespace quorvel::crash {

struct ReporterConfig {
  std::string version;     // the program's version
  std::string systemText;  // SystemVersionText
  std::string hostText;    // HostVersionText
  std::string reportPath;  // where the report goes (ReportPathFor)
  std::string markerPath;  // the waiting-report marker ("" : none is written)
};

// `moduleFolder` + "ExceptionReport.txt" when that folder can be written to, else
// `dataFolder` + the same name. Both end with '/'.
std::string ReportPathFor(const std::string& moduleFolder, const std::string& dataFolder);

// Installs the handlers, keeping the previous ones, and enables the reporter. False
// when it is installed already or a handler could not be set (nothing is left
// installed then).
bool InstallReporter(const ReporterConfig& config);

// Puts the previous handlers back. Does nothing when not installed.
void UninstallReporter();

bool ReporterInstalled();
void SetReporterEnabled(bool enabled);

// Marks the calling thread as running the add-in's own code while it lives; nests.
// The first on a thread gives the thread an alternate signal stack.
class OwnCodeScope {
 public:
  OwnCodeScope();
  ~OwnCodeScope();
  OwnCodeScope(const OwnCodeScope&) = delete;
  OwnCodeScope& operator=(const OwnCodeScope&) = delete;
};

}  // namespace quorvel::crash

#endif  // QUORVEL_CRASH_REPORTER_H_
