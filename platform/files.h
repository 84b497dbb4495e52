// Whole-file reads and atomic replacement.
#ifndef QUORVEL_PLATFORM_FILES_H_
#define QUORVEL_PLATFORM_FILES_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::platform {

// Reads a whole file. Returns false (and sets *error, if given) when it cannot.
bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>* out,
                   std::string* error = nullptr);

// Replaces a file atomically: writes "<path>.tmp-<pid>", flushes it to disk and
// renames it over path, so that a crash leaves either the old or the new content.
bool WriteFileAtomic(const std::string& path, std::string_view bytes, std::string* error = nullptr);

// Creates a directory and its missing parents. True when it exists afterwards.
bool CreateDirectories(const std::string& path);

bool FileExists(const std::string& path);

}  // namespace quorvel::platform

#endif  // QUORVEL_PLATFORM_FILES_H_
