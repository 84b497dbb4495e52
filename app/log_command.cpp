// quorvel log [--since WHEN] [--spam] [--json]
//
// Shows the verdict journal the host keeps in the data folder (journal_file.h), the
// older generation first, oldest entry first. It reads the files itself: no host is
// needed, and one that is running goes on appending meanwhile.
//
// WHEN is a time ago ("30m", "1h", "2d", "1w"; also "s") or a date and time:
// "2026-12-08", "2026-12-08T06:57", "2026-12-08 06:57:35" in local time, or any of
// them ending in "Z" for UTC. --spam keeps the spam verdicts only.
//
// Text output, one line per entry: its time (UTC), the verdict, the folder, "->" and
// where the message went ("(stayed)" when it stayed), the sender, the subject in
// quotes and the reason; control characters are escaped. --json writes each entry as
// the journal holds it, one object per line. Lines that are damaged or half-written,
// and kinds of entry other than verdicts, are skipped.
//
// Exit status: 0; 1 when a journal file exists but cannot be read; 3 when the output
// cannot be written; 2 for usage errors (a WHEN that is neither form).
#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <string>

#include "app/commands.h"
#include "outlook/journal_file.h"
#include "platform/file_system.h"
#include "platform/printable.h"
#include "settings/data_folder.h"

namespace quorvel::app {
namespace {

struct LogOptions {
  std::string since;
  bool spam = false;
  bool json = false;
};

// Seconds since 1970 of "YYYY-MM-DD[(T| )HH:MM[:SS[.fff]]][Z]"; local time unless it
// ends in "Z".
std::optional<double> ParseDateTime(const std::string& text) {
  std::tm parts{};
  int consumed = 0;
  if (std::sscanf(text.c_str(), "%4d-%2d-%2d%n", &parts.tm_year, &parts.tm_mon, &parts.tm_mday,
                  &consumed) != 3 ||
      consumed != 10) {
    return std::nullopt;
  }
  std::string rest = text.substr(10);
  const bool utc = !rest.empty() && rest.back() == 'Z';
  if (utc) rest.pop_back();
  double fraction = 0;
  if (!rest.empty()) {
    if (rest[0] != 'T' && rest[0] != ' ') return std::nullopt;
    int used = 0;
    if (std::sscanf(rest.c_str() + 1, "%2d:%2d%n", &parts.tm_hour, &parts.tm_min, &used) != 2 ||
        used != 5) {
      return std::nullopt;
    }
    std::string seconds = rest.substr(6);
    if (!seconds.empty()) {
      double s = 0;
      int n = 0;
      if (seconds[0] != ':' || std::sscanf(seconds.c_str() + 1, "%lf%n", &s, &n) != 1 ||
          static_cast<std::size_t>(n) + 1 != seconds.size() || s < 0 || s >= 61) {
        return std::nullopt;
      }
      parts.tm_sec = static_cast<int>(s);
      fraction = s - parts.tm_sec;
    }
  }
  if (parts.tm_mon < 1 || parts.tm_mon > 12 || parts.tm_mday < 1 || parts.tm_mday > 31 ||
      parts.tm_hour > 23 || parts.tm_min > 59) {
    return std::nullopt;
  }
  parts.tm_year -= 1900;
  parts.tm_mon -= 1;
  parts.tm_isdst = -1;
  const std::time_t seconds = utc ? ::timegm(&parts) : std::mktime(&parts);
  if (seconds == static_cast<std::time_t>(-1)) return std::nullopt;
  return static_cast<double>(seconds) + fraction;
}

// "30m", "1h", "2d", "1w", "45s" before now.
std::optional<double> ParseAgo(const std::string& text, double now) {
  static constexpr struct {
    char unit;
    double seconds;
  } kUnits[] = {{'s', 1}, {'m', 60}, {'h', 3600}, {'d', 86400}, {'w', 604800}};
  if (text.size() < 2 || text.size() > 10) return std::nullopt;
  for (std::size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
  }
  for (const auto& u : kUnits) {
    if (text.back() == u.unit) return now - std::stod(text.substr(0, text.size() - 1)) * u.seconds;
  }
  return std::nullopt;
}

std::optional<double> ParseWhen(const std::string& text) {
  if (auto ago = ParseAgo(text, static_cast<double>(std::time(nullptr)))) return ago;
  return ParseDateTime(text);
}

std::string Field(const nlohmann::json& entry, const char* name) {
  auto it = entry.find(name);
  return it != entry.end() && it->is_string() ? it->get<std::string>() : std::string();
}

std::string TextLine(const nlohmann::json& entry) {
  const std::string destination = Field(entry, "destination");
  return platform::EscapedField(Field(entry, "time")) + "  " +
         platform::EscapedField(Field(entry, "verdict")) + "  " +
         platform::EscapedField(Field(entry, "folder")) + " -> " +
         (destination.empty() ? "(stayed)" : platform::EscapedField(destination)) + "  " +
         platform::EscapedField(Field(entry, "sender")) + "  \"" +
         platform::EscapedField(Field(entry, "subject")) + "\"  " +
         platform::EscapedField(Field(entry, "reason"));
}

// Writes the entries of one journal file that pass the filters; false when it exists
// but cannot be read.
bool ShowFile(const std::string& path, const LogOptions& options, std::optional<double> since,
              CommandIo& io) {
  std::string bytes;
  platform::FileStatus status = platform::RealFileSystem().ReadFile(path, &bytes);
  if (!status.ok()) {
    if (status.code() == ENOENT) return true;
    io.err << "quorvel: " << status.message() << "\n";
    return false;
  }
  std::size_t start = 0;
  while (start < bytes.size()) {
    std::size_t end = bytes.find('\n', start);
    // A last line without its line end is being written (or was cut short): skipped.
    if (end == std::string::npos) break;
    const std::string_view line(bytes.data() + start, end - start);
    start = end + 1;
    nlohmann::json entry = nlohmann::json::parse(line.begin(), line.end(), nullptr, false);
    if (!entry.is_object() || Field(entry, "kind") != "verdict") continue;
    if (options.spam && Field(entry, "verdict") != outlook::kVerdictSpam) continue;
    if (since) {
      const auto time = ParseDateTime(Field(entry, "time"));
      if (!time || *time < *since) continue;
    }
    if (options.json) {
      io.out << line << "\n";  // as the journal holds it (it parsed, so it is valid UTF-8)
    } else {
      io.out << TextLine(entry) << "\n";
    }
  }
  return true;
}

int RunLog(const LogOptions& options, CommandIo& io) {
  std::optional<double> since;
  if (!options.since.empty()) since = ParseWhen(options.since);
  const std::string folder = DefaultDataFolders().DataFolder();
  if (folder.empty()) {
    io.err << "quorvel: no data folder is known, so there is no journal\n";
    return kExitFailure;
  }
  bool readable = ShowFile(folder + outlook::kJournalOldFileName, options, since, io);
  readable = ShowFile(folder + outlook::kJournalFileName, options, since, io) && readable;
  io.out.flush();
  if (!io.out) return kExitIoError;
  return readable ? kExitOk : kExitFailure;
}

void SetupLog(CLI::App& sub, CommandIo& io) {
  auto options = std::make_shared<LogOptions>();
  sub.add_option("--since", options->since,
                 "Only entries since WHEN: a time ago (30m, 1h, 2d, 1w) or a date and time "
                 "(2026-12-08, 2026-12-08T06:57; local time, or UTC with a final Z)")
      ->check([](const std::string& text) {
        return ParseWhen(text) ? std::string() : "not a time ago or a date and time: " + text;
      });
  sub.add_flag("--spam", options->spam, "Only the spam verdicts");
  sub.add_flag("--json", options->json, "One JSON object per entry, as the journal holds it");
  sub.callback([options, &io] { io.status = RunLog(*options, io); });
}

}  // namespace

Command LogCommand() {
  return {"log",
          "Show the verdicts the host acted on: the time, the folder, where each message "
          "went, its sender, subject and reason",
          SetupLog};
}

}  // namespace quorvel::app
