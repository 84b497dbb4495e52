#include "lists/list_file.h"

#include <utility>
#include <vector>

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

// Appends one side of an exported line. An LF inside a field would end the reading
// of the file there, and a tab inside the name would move where the address starts;
// each becomes a blank instead.
void AppendField(std::string& line, std::string_view text, bool isName) {
  const std::size_t start = line.size();
  line.append(text);
  for (std::size_t i = start; i < line.size(); ++i) {
    if (line[i] == '\n' || (isName && line[i] == '\t')) line[i] = ' ';
  }
}

}  // namespace

int ExportListTo(const ContactList& list, const StringSet& patterns, ByteSink& sink) {
  ListFileWriter writer(sink, kListFileBufferSize, ExportEncoding(list, patterns));
  std::string line;
  const auto writeLine = [&](std::string_view name, std::string_view address) {
    line.clear();
    AppendField(line, name, true);
    line.push_back('\t');
    AppendField(line, address, false);
    return writer.WriteLine(line);
  };
  for (const std::string& pattern : patterns) {
    if (const int error = writeLine(pattern, pattern)) return error;
  }
  for (const ContactPosition& item : list) {
    if (const int error = writeLine(item.Name(), item.Address())) return error;
  }
  return writer.Flush();
}

int ExportList(const ContactList& list, const StringSet& patterns, const std::string& path,
               platform::FileSystem& files) {
  AtomicFileSink file(files);
  if (const int error = file.Open(path)) return error;
  if (const int error = ExportListTo(list, patterns, file)) return error;
  return file.Commit();
}

int ImportListFrom(ByteSource& source, ContactList& target, StringSet& patterns,
                   platform::FileTime now, std::size_t bufferSize,
                   std::vector<std::string>* problems) {
  // Staged on copies, so that a read error leaves both as they were.
  ContactList list = target;
  StringSet set = patterns;
  ListFileReader reader(source, bufferSize);
  std::string line;
  while (reader.ReadLine(&line)) ImportLine(line, list, set, now);
  if (reader.Error() != 0) return reader.Error();
  if (problems != nullptr) {
    problems->insert(problems->end(), reader.Problems().begin(), reader.Problems().end());
  }
  target = std::move(list);
  patterns = std::move(set);
  return 0;
}

int ImportList(ContactList& target, StringSet& patterns, const std::string& path,
               const platform::Clock& clock, platform::FileSystem& files,
               std::vector<std::string>* problems) {
  FileByteSource file(files);
  if (const int error = file.Open(path)) return error;
  return ImportListFrom(file, target, patterns, clock.Now(), kListFileBufferSize, problems);
}

void ImportListBytes(std::string_view bytes, ContactList& target, StringSet& patterns,
                     platform::FileTime now) {
  MemoryByteSource source(bytes);
  ImportListFrom(source, target, patterns, now);
}

}  // namespace quorvel
