// MarkingEntry: what one marking changed (by a command or by the user's move), as the
// journal keeps it so that `quorvel undo` can take it back: the messages moved, the
// list entries added and removed, and what was learned (a file of its own beside the
// journal, "markings/<id>.counts", learned_counts.h).
//
// Journal lines (journal_file.h), one object each:
//   {"kind":"marking","id":...,"time":...,"marking":"good"|"junk","source":"command"|"move",
//    "counts":"markings/<id>.counts" or "",
//    "messages":[{"message_id","from","to","from_name","to_name","entry"}],   ids in hex
//    "lists":[{"list","change":"added"|"removed","entry","name","domain":bool}]}
//   {"kind":"undo","id":...,"time":...}
//   {"kind":"undo_void","id":...,"time":...}   the undo line before it did not happen
// A marking line is written only once its counts file is whole (and before its counts
// reach the mail base: unsaved_markings.h); an undo line before its counts leave the
// mail base (voided when the undo cannot be finished), or, for a marking that learned
// nothing, once everything of it is taken back.
#ifndef QUORVEL_OUTLOOK_MARKING_JOURNAL_H_
#define QUORVEL_OUTLOOK_MARKING_JOURNAL_H_

#include <functional>
#include <string>
#include <vector>

#include "bayes/learned_counts.h"
#include "outlook/journal_file.h"
#include "outlook/marking_record.h"
#include "platform/clock.h"
#include "platform/file_system.h"

namespace quorvel::outlook {

inline constexpr const char* kMarkingsFolderName = "markings";

struct MarkedMessage {
  std::string messageId{};
  std::string from{};  // hex entry id of the folder it was in
  std::string to{};    // of the folder it was moved to; == from when it stayed
  std::string fromName{};
  std::string toName{};
  std::string entry{};  // hex entry id in `to`, when the store said it; "" to look it up
};

// One change of a list: an address ("entry" with "name"), a whole domain ("domain"), or
// the text of a wildcard list ("WhiteListWildcards", ...).
struct ListEntryChange {
  std::string list{};  // the setting's name: "WhiteList", "BlackList", "SafeRecipients", ...
  bool added = true;
  std::string entry{};
  std::string name{};
  bool domain = false;
};

struct MarkingEntry {
  std::string id{};  // unique: the file time, the process and a sequence number
  platform::FileTime time = 0;
  bool junk = false;
  bool byMove = false;
  std::string counts{};  // relative to the data folder; "" when nothing was learned
  std::vector<MarkedMessage> messages{};
  std::vector<ListEntryChange> lists{};
};

std::string MarkingLine(const MarkingEntry& entry);
std::string UndoLine(const std::string& id, platform::FileTime time);
std::string UndoVoidLine(const std::string& id, platform::FileTime time);

// What the marking routine's record says, as the journal keeps it (a fresh id, `now`).
MarkingEntry EntryOfRecord(const MarkingRecord& record, platform::FileTime now);

// A fresh id for a marking made now.
std::string NewMarkingId(platform::FileTime now);

// Writes the counts file (when something was learned; entry->counts is set to it),
// calls `beforeLine` (when given) and then writes the journal line. False when the
// counts file or what `beforeLine` writes could not be written: the line is not
// written either, and the marking cannot be undone (*error says why).
bool RecordMarking(platform::FileSystem& files, JournalFile& journal, const std::string& dataFolder,
                   MarkingEntry* entry, const LearnedCounts& learned, std::string* error,
                   const std::function<platform::FileStatus()>& beforeLine = {});

}  // namespace quorvel::outlook

#endif  // QUORVEL_OUTLOOK_MARKING_JOURNAL_H_
