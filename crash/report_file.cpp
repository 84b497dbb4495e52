#include "crash/report_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "crash/machine_registers.h"
#include "crash/safe_writer.h"

namespace quorvel::crash {
namespace {

// Days since 1970-01-01 to a civil date (proleptic Gregorian).
void CivilFromDays(std::int64_t days, unsigned* year, unsigned* month, unsigned* day) {
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const auto dayOfEra = static_cast<unsigned>(days - era * 146097);
  const unsigned yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const unsigned mp = (5 * dayOfYear + 2) / 153;
  *day = dayOfYear - (153 * mp + 2) / 5 + 1;
  *month = mp < 10 ? mp + 3 : mp - 9;
  *year = static_cast<unsigned>(static_cast<std::int64_t>(yearOfEra) + era * 400 +
                                (*month <= 2 ? 1 : 0));
}

// Named after this machine's stack, frame and instruction pointers.
#if defined(__aarch64__)
constexpr const char* kDumpTitles[] = {"\r\nSP dump:\r\n", "\r\n\r\nFP dump:\r\n",
                                       "\r\n\r\nPC dump:\r\n"};
#else
constexpr const char* kDumpTitles[] = {"\r\nRSP dump:\r\n", "\r\n\r\nRBP dump:\r\n",
                                       "\r\n\r\nRIP dump:\r\n"};
#endif

void WriteDump(SafeWriter& out, const char* title, const WordDump& dump) {
  out.Text(title);
  for (std::size_t i = 0; i < dump.count; ++i) out.Text("0x").Hex(dump.words[i], kWordDigits);
  out.Flush();
}

void WriteLogical(SafeWriter& out, const LogicalAddress& logical) {
  out.Hex(logical.section, 4).Text(":").Hex(logical.offset, 8).Text(" ").Text(logical.module);
}

}  // namespace

ReportTime BreakDownTime(std::int64_t unixMilliseconds, long utcOffsetSeconds) {
  const std::int64_t local = unixMilliseconds + static_cast<std::int64_t>(utcOffsetSeconds) * 1000;
  std::int64_t days = local / 86400000;
  std::int64_t rest = local % 86400000;
  if (rest < 0) {
    rest += 86400000;
    --days;
  }
  ReportTime t;
  CivilFromDays(days, &t.year, &t.month, &t.day);
  t.hour = static_cast<unsigned>(rest / 3600000);
  t.minute = static_cast<unsigned>(rest / 60000 % 60);
  t.second = static_cast<unsigned>(rest / 1000 % 60);
  t.millisecond = static_cast<unsigned>(rest % 1000);
  return t;
}

int OpenReportFile(const char* path) {
  int fd;
  do {
    fd = open(path, O_RDWR | O_CREAT | O_SYNC | O_CLOEXEC | O_NOFOLLOW, 0600);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return -1;
  struct stat st;
  if (flock(fd, LOCK_EX) != 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
      (st.st_size >= kReportRestartSize && ftruncate(fd, 0) != 0) || lseek(fd, 0, SEEK_END) < 0) {
    close(fd);
    return -1;
  }
  return fd;
}

bool WriteReport(int fd, const CrashContext& context, const ReportTexts& texts,
                 const ModuleMap& modules) {
  SafeWriter out(fd);
  out.Text("=========================================================\r\n************Quorvel ")
      .Text(texts.version)
      .Text(
          " Exception Report*************\r\n"
          "=========================================================\r\n\r\n");
  out.Flush();
  const ReportTime& t = texts.time;
  out.Text("Operation System: ").Text(texts.systemText);
  out.Text("\r\nOutlook Version:").Text(texts.hostText);
  out.Text("\r\nCompilation Time:  ").Text(texts.compiledOn);
  out.Text("\r\nException Time: Exception Time is ").Dec(t.day, 2).Text("/").Dec(t.month, 2);
  out.Text("/").Dec(t.year, 4).Text(",").Dec(t.hour, 2).Text(":").Dec(t.minute, 2);
  out.Text(":").Dec(t.second, 2).Text(":").Dec(t.millisecond, 3).Text("\r\n\r\n\r\n");
  out.Flush();
  out.Text("Exception code: ").Hex(context.code, 8).Text(" ").Text(context.name).Text("\r\n");
  out.Flush();
  out.Text("Fault address:  ").Hex(context.address, kWordDigits).Text(" ");
  WriteLogical(out, modules.Find(context.address));
  out.Text("\r\n");
  out.Flush();
  WriteRegisters(out, context.registers);
  WriteDump(out, kDumpTitles[0], context.stackDump);
  WriteDump(out, kDumpTitles[1], context.frameDump);
  WriteDump(out, kDumpTitles[2], context.codeDump);
  out.Text("\r\n\r\nCall stack:\r\n\tAddress           Frame             Logical addr  Module\r\n");
  out.Flush();
  for (std::size_t i = 0; i < context.trace.count; ++i) {
    const StackFrame& f = context.trace.frames[i];
    out.Text("\t").Hex(f.address, kWordDigits).Text("  ").Hex(f.frame, kWordDigits).Text("  ");
    WriteLogical(out, modules.Find(f.address));
    out.Text("\r\n");
    out.Flush();
  }
  if (context.trace.count == kMaxFrames) out.Text("Stack Overflow.\r\n");
  out.Text("\r\nList of loaded modules:\r\n\tBase Address\tModule Size\tModule Name\r\n");
  out.Flush();
  for (std::size_t i = 0; i < modules.ModuleCount(); ++i) {
    const Module m = modules.ModuleAt(i);
    out.Text("\t").Hex(m.base, kWordDigits).Text("\t").Hex(m.size, kWordDigits);
    out.Text("\t").Text(m.path).Text("\r\n");
    out.Flush();
  }
  out.Text("\r\n");
  out.Flush();
  return out.ok();
}

}  // namespace quorvel::crash
