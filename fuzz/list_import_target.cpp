// Target for list import files: any bytes, read as a list file the way an import
// reads it, with the checks every input must pass.
#include <algorithm>
#include <string>

#include "fuzz/fuzz_targets.h"
#include "lists/list_file.h"
#include "lists/list_file_writer.h"

namespace quorvel {
namespace {

constexpr platform::FileTime kImportTime = 133'000'000'000'000'000ULL;
constexpr std::size_t kSmallBuffer = 64;

// What an import of `bytes` (read in pieces of at most `chunk` bytes through a buffer
// of `bufferSize`) yields, as its export.
std::string ImportedAsExport(std::string_view bytes, std::size_t chunk, std::size_t bufferSize) {
  MemoryByteSource source(bytes, chunk);
  ContactList list;
  StringSet patterns;
  ImportListFrom(source, list, patterns, kImportTime, bufferSize);
  StringByteSink sink;
  ExportListTo(list, patterns, sink);
  return sink.Bytes();
}

// The longest run of bytes from a line's start to its LF, LF included (in 16-bit units
// times two after the UTF-16 mark); a final piece without LF does not count.
std::size_t LongestLine(std::string_view bytes) {
  const bool utf16 = bytes.size() >= 2 && bytes.substr(0, 2) == "\xFF\xFE";
  const std::size_t unit = utf16 ? 2 : 1;
  std::size_t longest = 0;
  std::size_t start = utf16 ? 2 : 0;
  for (std::size_t i = start; i + unit <= bytes.size(); i += unit) {
    if (bytes[i] == '\n' && (unit == 1 || bytes[i + 1] == 0)) {
      longest = std::max(longest, i + unit - start);
      start = i + unit;
    }
  }
  return longest;
}

std::string Utf16Twin(std::string_view ansi) { return "\xFF\xFE" + AnsiToUtf16Le(ansi); }

}  // namespace

// Imports the bytes and checks that reading them in pieces, through a small buffer
// (when every line fits it) or as the UTF-16 twin of ANSI bytes gives the same list,
// that every entry is found by its address, and that the export of the list imports
// to a list with the same export.
std::string FuzzListImport(FuzzInput input) {
  const std::string_view bytes(reinterpret_cast<const char*>(input.data()), input.size());
  ContactList list;
  StringSet patterns;
  ImportListBytes(bytes, list, patterns, kImportTime);
  for (const ContactPosition& item : list) {
    if (!list.Find(MakeContact(item.Address()))) return "an imported entry is not found";
  }
  StringByteSink sink;
  if (ExportListTo(list, patterns, sink) != 0) return "an export into memory failed";
  const std::string& exported = sink.Bytes();

  const std::size_t chunk = 1 + (input.empty() ? 0 : input[0] % 61);
  if (ImportedAsExport(bytes, chunk, kListFileBufferSize) != exported) {
    return "reading in pieces gives another list";
  }
  if (LongestLine(bytes) <= kSmallBuffer &&
      ImportedAsExport(bytes, chunk, kSmallBuffer) != exported) {
    return "reading through a small buffer gives another list";
  }
  if (!bytes.starts_with("\xFF\xFE") &&
      ImportedAsExport(Utf16Twin(bytes), SIZE_MAX, 2 * kListFileBufferSize) != exported) {
    return "the UTF-16 twin imports as another list";
  }
  // An exported line may be longer than the buffer (name and address both long).
  if (ImportedAsExport(exported, SIZE_MAX, std::max(kListFileBufferSize, exported.size() + 2)) !=
      exported) {
    return "an exported list imports as another list";
  }
  return {};
}

}  // namespace quorvel
