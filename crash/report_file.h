// The exception report's text and its file. Everything here is async-signal-safe: the
// signal handler writes the report with it.
//
// The file is opened for reading and writing with write-through (O_SYNC) and locked;
// a file of 131,072 bytes or more is emptied first, a smaller one gets the report
// appended.
#ifndef QUORVEL_CRASH_REPORT_FILE_H_
#define QUORVEL_CRASH_REPORT_FILE_H_

#include <cstdint>

#include "crash/crash_context.h"
#include "crash/module_map.h"

namespace quorvel::crash {

inline constexpr const char* kReportFileName = "ExceptionReport.txt";
inline constexpr long kReportRestartSize = 131072;

// Local time, broken down.
struct ReportTime {
  unsigned day = 0, month = 0, year = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
};

// `utcOffsetSeconds` is the local zone's offset, found before the crash (the zone
// database cannot be read safely in a signal handler).
ReportTime BreakDownTime(std::int64_t unixMilliseconds, long utcOffsetSeconds);

// The texts around the captured data; all must stay valid while the report is written.
struct ReportTexts {
  const char* version = "";     // the program's version
  const char* systemText = "";  // SystemVersionText
  const char* hostText = "";    // HostVersionText, with its leading blank
  const char* compiledOn = "";  // "Mmm dd yyyy"
  ReportTime time{};
};

// Opens (creating with mode 0600) the report file at `path` as above. -1 when it
// cannot be opened.
int OpenReportFile(const char* path);

// Writes one report. False when a write failed.
bool WriteReport(int fd, const CrashContext& context, const ReportTexts& texts,
                 const ModuleMap& modules);

}  // namespace quorvel::crash

#endif  // QUORVEL_CRASH_REPORT_FILE_H_
