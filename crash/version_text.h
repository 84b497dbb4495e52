// The version texts that the support request and the exception report carry: the
// system's ("Linux Debian GNU/Linux 12 (bookworm) (build 6.1.0-18-amd64) (x86_64)",
// from uname and /etc/os-release) and the host's (its own name and version, with a
// leading blank). Not async-signal-safe: the reporter builds them when it is installed.
#ifndef QUORVEL_CRASH_VERSION_TEXT_H_
#define QUORVEL_CRASH_VERSION_TEXT_H_

#include <cstddef>
#include <string>

namespace quorvel::crash {

struct SystemIdentity {
  std::string name;        // uname's sysname: "Linux"
  std::string release;     // uname's release: "6.1.0-18-amd64"
  std::string machine;     // uname's machine: "x86_64"
  std::string prettyName;  // os-release's PRETTY_NAME, "" when unknown
};

// This machine's identity; PRETTY_NAME from `osReleasePath` (falling back to
// /usr/lib/os-release when that is the default and missing).
SystemIdentity ReadSystemIdentity(const std::string& osReleasePath = "/etc/os-release");

// PRETTY_NAME of an os-release text, its quotes and escapes removed; "" when absent.
std::string PrettyNameOf(const std::string& osRelease);

// "<name>[ <pretty name>] (build <release>)", then " (<machine>)" when the whole still
// fits `bufferSize` with 4 characters to spare. "" when `bufferSize` is below 64 or
// the name is unknown. Cut to bufferSize - 1 characters.
std::string SystemVersionText(std::size_t bufferSize, const SystemIdentity& system);

// " <host name> <version>", e.g. " Quorvel host 0.1.0".
std::string HostVersionText(const std::string& hostName, const std::string& version);

// The date this layer was compiled, "Mmm dd yyyy".
const char* CompilationDate();

}  // namespace quorvel::crash

#endif  // QUORVEL_CRASH_VERSION_TEXT_H_
