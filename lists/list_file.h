// List import and export files: a contact list and its pattern set as text lines.
//
// Export writes one line per pattern ("pattern<TAB>pattern"), then one line per item
// of the list's iteration ("Name<TAB>Address"; a domain entry has its key on both
// sides), each ended by CR LF, in the ANSI code page. A tab in a name and an LF
// anywhere are written as blanks, so that every line reads back as written. A file
// whose first line would begin with the bytes of the UTF-16 mark is written as UTF-16.
//
// Import reads such lines (LF or CR LF; ANSI, or UTF-16 or UTF-8 with its mark, see
// list_file_reader.h).
// Each line is trimmed like an address; an empty line is skipped. Text before the
// first tab is the name, text after it the address (trimmed again); a line without a
// tab is both. Then:
//   address with "*"                 -> the pattern set, as written
//   domain form ("@x", "/Org")       -> a domain entry
//   neither "@" nor "/" ("x.org")    -> the domain entry "@x.org"
//   anything else                    -> a single address with its name
// Every address added carries the one time taken when the import started.
//
// Results are 0 or an OS error code (errno value). A failed import or export changes
// nothing: the target list and set stay as they were, an existing file stays whole.
//
// Thread-safety: none; the caller guards the lists it passes.
#ifndef QUORVEL_LISTS_LIST_FILE_H_
#define QUORVEL_LISTS_LIST_FILE_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "lists/contact_list.h"
#include "lists/list_file_reader.h"
#include "lists/list_file_writer.h"
#include "lists/string_set.h"
#include "platform/clock.h"

namespace quorvel {

// Writes the list file to `path`, replacing any file there only when all of it was
// written.
int ExportList(const ContactList& list, const StringSet& patterns, const std::string& path,
               platform::FileSystem& files = platform::RealFileSystem());

// Adds the entries of the list file at `path` to `target` and its patterns to
// `patterns`. A file that cannot be opened or read changes nothing.
// Lines that could not be used are skipped, each with a text in *problems (when
// given) that names its line.
int ImportList(ContactList& target, StringSet& patterns, const std::string& path,
               const platform::Clock& clock,
               platform::FileSystem& files = platform::RealFileSystem(),
               std::vector<std::string>* problems = nullptr);

// The same two on any bytes. ExportListTo hands the bytes to `sink` through the
// buffer; ImportListFrom reads `source` through a buffer of `bufferSize` bytes (a
// line longer than that is skipped) and fails only when a read fails.
int ExportListTo(const ContactList& list, const StringSet& patterns, ByteSink& sink);
int ImportListFrom(ByteSource& source, ContactList& target, StringSet& patterns,
                   platform::FileTime now, std::size_t bufferSize = kListFileBufferSize,
                   std::vector<std::string>* problems = nullptr);

// The list file held in memory, imported; never fails.
void ImportListBytes(std::string_view bytes, ContactList& target, StringSet& patterns,
                     platform::FileTime now);

}  // namespace quorvel

#endif  // QUORVEL_LISTS_LIST_FILE_H_
