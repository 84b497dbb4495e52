#include "lists/list_file.h"

#include <utility>

#include "lists/contact.h"

namespace quorvel {
namespace {

// Files one line of a list file as a pattern, a domain entry or an address.
void ImportLine(std::string_view rawLine, ContactList& list, StringSet& patterns,
                platform::FileTime now) {
  const std::string line = TrimContactText(rawLine);
  if (line.empty()) return;
  std::string_view name = line;
  std::string_view text = line;
  if (const auto tab = line.find('\t'); tab != std::string::npos) {
    name = std::string_view(line).substr(0, tab);
    text = std::string_view(line).substr(tab + 1);
  }
  // Blanks or quotes after the tab would otherwise turn "@x.org" into an address.
  const std::string address = TrimContactText(text);
  if (address.empty()) return;
  if (address.find('*') != std::string::npos) {
    patterns.Insert(address);
  } else if (IsDomainForm(address)) {
    list.AddDomain(MakeContact(address));
  } else if (address.find_first_of("@/") == std::string::npos) {
    list.AddDomain(MakeContact("@" + address));
  } else {
    list.AddAddress(MakeContact(address), name, now);
  }
}

// ANSI, unless the first line would begin with the bytes of the UTF-16 mark (as a
// name beginning with "\xFF\xFE" does): such a file would read as UTF-16 and come back
// empty, so it is written as UTF-16, which reads back the same.
ListFileWriter::Encoding ExportEncoding(const ContactList& list, const StringSet& patterns) {
  constexpr std::string_view kMarkBytes = "\xFF\xFE";
  std::string_view first;
  if (!patterns.Empty()) {
    first = *patterns.begin();
  } else if (!list.Empty()) {
    first = list.begin()->Name();
  }
  return first.starts_with(kMarkBytes) ? ListFileWriter::Encoding::kUtf16
                                       : ListFileWriter::Encoding::kAnsi;
}

}  // namespace

int ExportListTo(const ContactList& list, const StringSet& patterns, ByteSink& sink) {
  ListFileWriter writer(sink, kListFileBufferSize, ExportEncoding(list, patterns));
  std::string line;
  for (const std::string& pattern : patterns) {
    line.assign(pattern).append(1, '\t').append(pattern);
    if (const int error = writer.WriteLine(line)) return error;
  }
  for (const ContactPosition& item : list) {
    line.assign(item.Name()).append(1, '\t').append(item.Address());
    if (const int error = writer.WriteLine(line)) return error;
  }
  return writer.Flush();
}

int ExportList(const ContactList& list, const StringSet& patterns, const std::string& path) {
  AtomicFileSink file;
  if (const int error = file.Open(path)) return error;
  if (const int error = ExportListTo(list, patterns, file)) return error;
  return file.Commit();
}

int ImportListFrom(ByteSource& source, ContactList& target, StringSet& patterns,
                   platform::FileTime now, std::size_t bufferSize) {
  // Staged on copies, so that a read error leaves both as they were.
  ContactList list = target;
  StringSet set = patterns;
  ListFileReader reader(source, bufferSize);
  std::string line;
  while (reader.ReadLine(&line)) ImportLine(line, list, set, now);
  if (reader.Error() != 0) return reader.Error();
  target = std::move(list);
  patterns = std::move(set);
  return 0;
}

int ImportList(ContactList& target, StringSet& patterns, const std::string& path,
               const platform::Clock& clock) {
  FileByteSource file;
  if (const int error = file.Open(path)) return error;
  return ImportListFrom(file, target, patterns, clock.Now());
}

void ImportListBytes(std::string_view bytes, ContactList& target, StringSet& patterns,
                     platform::FileTime now) {
  MemoryByteSource source(bytes);
  ImportListFrom(source, target, patterns, now);
}

}  // namespace quorvel
