#include "crash/version_text.h"

#include <sys/utsname.h>

#include <fstream>
#include <sstream>

namespace quorvel::crash {

std::string PrettyNameOf(const std::string& osRelease) {
  std::istringstream lines(osRelease);
  std::string line;
  const std::string key = "PRETTY_NAME=";
  while (std::getline(lines, line)) {
    if (line.compare(0, key.size(), key) != 0) continue;
    std::string value = line.substr(key.size());
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
      value = value.substr(1, value.size() - 2);
    }
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
      if (value[i] == '\\' && i + 1 < value.size()) ++i;
      out += value[i];
    }
    return out;
  }
  return "";
}

SystemIdentity ReadSystemIdentity(const std::string& osReleasePath) {
  SystemIdentity system;
  utsname names{};
  if (uname(&names) == 0) {
    system.name = names.sysname;
    system.release = names.release;
    system.machine = names.machine;
  }
  std::ifstream file(osReleasePath);
  if (!file && osReleasePath == "/etc/os-release") file.open("/usr/lib/os-release");
  std::ostringstream text;
  text << file.rdbuf();
  system.prettyName = PrettyNameOf(text.str());
  return system;
}

std::string SystemVersionText(std::size_t bufferSize, const SystemIdentity& system) {
  if (bufferSize < 64 || system.name.empty()) return "";
  std::string text = system.name;
  if (!system.prettyName.empty()) text += " " + system.prettyName;
  text += " (build " + system.release + ")";
  if (!system.machine.empty() && text.size() + system.machine.size() + 3 + 4 <= bufferSize) {
    text += " (" + system.machine + ")";
  }
  if (text.size() > bufferSize - 1) text.resize(bufferSize - 1);
  return text;
}

std::string HostVersionText(const std::string& hostName, const std::string& version) {
  return " " + hostName + " " + version;
}

const char* CompilationDate() { return __DATE__; }

}  // namespace quorvel::crash
