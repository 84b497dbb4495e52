#include "outlook/marking_journal.h"

#include <unistd.h>

#include <atomic>
#include <set>

namespace quorvel::outlook {
namespace {

void AppendBool(std::string& out, const char* name, bool value) {
  out.push_back(',');
  AppendJsonString(out, name);
  out += value ? ":true" : ":false";
}

}  // namespace

MarkingEntry EntryOfRecord(const MarkingRecord& record, platform::FileTime now) {
  MarkingEntry entry{.id = NewMarkingId(now),
                     .time = now,
                     .junk = record.mode == MarkingMode::kJunk,
                     .byMove = record.quiet};
  std::set<std::string> moved;
  if (record.moved) {
    for (const MovedMessage& m : record.move.messages) {
      if (m.after.empty()) continue;  // it stayed where it was
      moved.insert(m.before);
      entry.messages.push_back({m.messageId, record.move.sourceFolder,
                                record.move.destinationFolder, "", record.move.destinationPath,
                                m.after});
    }
  }
  for (const LearnedMessage& m : record.learned) {
    if (moved.count(m.entryId)) continue;
    entry.messages.push_back({m.messageId, record.folder, record.folder, "", "", m.entryId});
  }
  const std::pair<const char*, const ListChange*> lists[] = {
      {"WhiteList", &record.whiteList},
      {"BlackList", &record.blackList},
      {"SafeRecipients", &record.safeRecipients}};
  for (const auto& [name, change] : lists) {
    for (const ListEntryRecord& e : change->removed) {
      entry.lists.push_back({name, false, e.address, e.name, e.domain});
    }
    for (const ListEntryRecord& e : change->added) {
      entry.lists.push_back({name, true, e.address, e.name, e.domain});
    }
  }
  return entry;
}

std::string NewMarkingId(platform::FileTime now) {
  static std::atomic<unsigned> sequence{0};
  return std::to_string(now) + "-" + std::to_string(::getpid()) + "-" +
         std::to_string(sequence.fetch_add(1));
}

std::string MarkingLine(const MarkingEntry& entry) {
  std::string line = "{\"kind\":\"marking\"";
  AppendJsonField(line, "id", entry.id);
  AppendJsonField(line, "time", IsoTime(entry.time));
  AppendJsonField(line, "marking", entry.junk ? "junk" : "good");
  AppendJsonField(line, "source", entry.byMove ? "move" : "command");
  AppendJsonField(line, "counts", entry.counts);
  line += ",\"messages\":[";
  for (std::size_t i = 0; i < entry.messages.size(); ++i) {
    const MarkedMessage& m = entry.messages[i];
    line += i == 0 ? "{" : ",{";
    AppendJsonString(line, "message_id");
    line.push_back(':');
    AppendJsonString(line, m.messageId);
    AppendJsonField(line, "from", m.from);
    AppendJsonField(line, "to", m.to);
    AppendJsonField(line, "from_name", m.fromName);
    AppendJsonField(line, "to_name", m.toName);
    AppendJsonField(line, "entry", m.entry);
    line.push_back('}');
  }
  line += "],\"lists\":[";
  for (std::size_t i = 0; i < entry.lists.size(); ++i) {
    const ListEntryChange& c = entry.lists[i];
    line += i == 0 ? "{" : ",{";
    AppendJsonString(line, "list");
    line.push_back(':');
    AppendJsonString(line, c.list);
    AppendJsonField(line, "change", c.added ? "added" : "removed");
    AppendJsonField(line, "entry", c.entry);
    AppendJsonField(line, "name", c.name);
    AppendBool(line, "domain", c.domain);
    line.push_back('}');
  }
  line += "]}\n";
  return line;
}

namespace {

std::string KindLine(const char* kind, const std::string& id, platform::FileTime time) {
  std::string line = "{\"kind\":";
  AppendJsonString(line, kind);
  AppendJsonField(line, "id", id);
  AppendJsonField(line, "time", IsoTime(time));
  line += "}\n";
  return line;
}

}  // namespace

std::string UndoLine(const std::string& id, platform::FileTime time) {
  return KindLine("undo", id, time);
}

std::string UndoVoidLine(const std::string& id, platform::FileTime time) {
  return KindLine("undo_void", id, time);
}

bool RecordMarking(platform::FileSystem& files, JournalFile& journal, const std::string& dataFolder,
                   MarkingEntry* entry, const LearnedCounts& learned, std::string* error,
                   const std::function<platform::FileStatus()>& beforeLine) {
  entry->counts.clear();
  if (!learned.empty()) {
    const std::string relative = std::string(kMarkingsFolderName) + "/" + entry->id + ".counts";
    const std::string folder = platform::JoinFilePath(dataFolder, kMarkingsFolderName);
    platform::FileStatus status = files.CreateFolders(folder);
    if (status.ok()) {
      status = files.WriteFileAtomic(platform::JoinFilePath(dataFolder, relative),
                                     SerializeLearned(learned));
    }
    if (!status.ok()) {
      if (error) *error = "the marking cannot be undone: " + status.message();
      return false;
    }
    entry->counts = relative;
  }
  if (beforeLine) {
    if (platform::FileStatus status = beforeLine(); !status.ok()) {
      if (error) *error = "the marking cannot be undone: " + status.message();
      return false;
    }
  }
  if (!journal.AppendLine(MarkingLine(*entry))) {
    if (error) *error = "the marking cannot be undone: the journal was not written";
    return false;
  }
  return true;
}

}  // namespace quorvel::outlook
