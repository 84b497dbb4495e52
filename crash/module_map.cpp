#include "crash/module_map.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace quorvel::crash {
namespace {

bool SamePath(const char* a, const char* b) {
  while (*a != '\0' && *a == *b) {
    ++a;
    ++b;
  }
  return *a == *b;
}

// Reads a hexadecimal number at *at, leaving *at after it.
std::uintptr_t ParseHex(const char** at, const char* end) {
  std::uintptr_t value = 0;
  for (; *at < end; ++*at) {
    const char c = **at;
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else {
      break;
    }
    value = value * 16 + static_cast<std::uintptr_t>(digit);
  }
  return value;
}

}  // namespace

bool ModuleMap::Load(const char* path) {
  count_ = 0;
  poolUsed_ = 1;
  pool_[0] = '\0';
  int fd;
  do {
    fd = open(path, O_RDONLY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return false;
  char buffer[8192];
  std::size_t held = 0;
  for (;;) {
    const ssize_t got = read(fd, buffer + held, sizeof buffer - held);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    held += static_cast<std::size_t>(got);
    std::size_t lineStart = 0;
    for (std::size_t i = 0; i < held; ++i) {
      if (buffer[i] != '\n') continue;
      AddLine(buffer + lineStart, i - lineStart);
      lineStart = i + 1;
    }
    if (lineStart == 0 && held == sizeof buffer) {
      lineStart = held;  // a line longer than the buffer: dropped
    }
    for (std::size_t i = lineStart; i < held; ++i) buffer[i - lineStart] = buffer[i];
    held -= lineStart;
  }
  if (held > 0) AddLine(buffer, held);
  close(fd);
  return true;
}

// "start-end perms offset dev inode   path"
void ModuleMap::AddLine(const char* line, std::size_t size) {
  if (count_ == kMaxMappings) return;
  const char* end = line + size;
  const char* at = line;
  Mapping m{};
  m.start = ParseHex(&at, end);
  if (at == end || *at != '-') return;
  ++at;
  m.end = ParseHex(&at, end);
  // Skip five fields (perms, offset, dev, inode) to the path, if any.
  for (int field = 0; field < 4; ++field) {
    while (at < end && *at == ' ') ++at;
    while (at < end && *at != ' ') ++at;
  }
  while (at < end && *at == ' ') ++at;
  if (at < end && *at == '/') {
    const std::size_t length = static_cast<std::size_t>(end - at);
    if (poolUsed_ + length + 1 <= kPathPool) {
      m.pathAt = static_cast<std::uint32_t>(poolUsed_);
      for (std::size_t i = 0; i < length; ++i) pool_[poolUsed_++] = at[i];
      pool_[poolUsed_++] = '\0';
    }
  }
  m.ordinal = 1;
  m.moduleFirst = static_cast<std::uint32_t>(count_);
  if (m.pathAt != 0 && count_ > 0) {
    const Mapping& before = mappings_[count_ - 1];
    if (before.pathAt != 0 && SamePath(pool_ + before.pathAt, pool_ + m.pathAt)) {
      poolUsed_ = m.pathAt;  // the module's path is already held
      m.pathAt = before.pathAt;
      m.ordinal = before.ordinal + 1;
      m.moduleFirst = before.moduleFirst;
    }
  }
  mappings_[count_++] = m;
}

LogicalAddress ModuleMap::Find(std::uintptr_t address) const {
  for (std::size_t i = 0; i < count_; ++i) {
    const Mapping& m = mappings_[i];
    if (m.pathAt == 0 || address < m.start || address >= m.end) continue;
    return {m.ordinal, address - m.start, pool_ + m.pathAt};
  }
  return {};
}

std::size_t ModuleMap::ModuleCount() const {
  std::size_t modules = 0;
  for (std::size_t i = 0; i < count_; ++i) {
    if (mappings_[i].pathAt != 0 && mappings_[i].ordinal == 1) ++modules;
  }
  return modules;
}

Module ModuleMap::ModuleAt(std::size_t index) const {
  Module module;
  std::size_t seen = 0;
  for (std::size_t i = 0; i < count_; ++i) {
    const Mapping& m = mappings_[i];
    if (m.pathAt == 0) continue;
    if (m.ordinal == 1) {
      if (seen++ == index) {
        module = {m.start, m.end - m.start, pool_ + m.pathAt};
      } else if (seen > index + 1) {
        break;
      }
    } else if (seen == index + 1) {
      module.size = m.end - module.base;
    }
  }
  return module;
}

}  // namespace quorvel::crash
