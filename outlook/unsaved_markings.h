// UnsavedMarkings: how a marking's journal entry and "Bayes.raw" are kept in step
// when the host stops at any point of a marking.
//
// A marking is written down before what it learned reaches the mail base
// (CommitMarking), all under the store's lock so that no save comes in between:
//   1. "markings/<id>.counts", what it learned;
//   2. "markings/<id>.unsaved": "<pid> <fingerprint of Bayes.raw as it is now>";
//   3. its journal line;
//   4. the counts go into the store's pending pair, in one step.
// Every save of "Bayes.raw" after step 4 holds those counts, so once the store says it
// saved, the process removes the markers it wrote. Before each save the process names
// the markers whose counts it is about to write in "markings/saved" (Saving), one line
// per file: "<fingerprint of the new Bayes.raw> <marker>...", the line of the file it
// replaces kept below it. A marker left behind by a process that is gone is settled by
// the next process that opens the mail base (Settle), by what "Bayes.raw" holds: when
// the line of the file in force does not name the marker (a save by another writer, a
// `quorvel mailbase build` or an undo, names only its own; one that writes no line
// names none), the counts never reached it and the marking's counts file is replaced
// by an empty one (the entry then says that it learned nothing, which is what
// happened); otherwise they were saved with it. Either way the marker goes. Without a
// "markings/saved" (written by an older version) a marker is settled by the
// fingerprint it holds: "Bayes.raw" unchanged since step 2 means the counts never
// reached it.
// A stop before step 3 leaves no entry and nothing learned.
//
// An undo is kept in step the same way (CommitUndo): the marker
// "markings/<id>.undoing", then its undo line, then the counts leave the store in one
// step. A marker left by a stopped process that the line of "Bayes.raw" in force does
// not name means the counts are still in the file: Settle voids the undo line
// ("undo_void"), so the entry can be undone again; otherwise the undo reached the
// file and its line stands.
//
// Thread-safety: every member may be called from any thread; mutex_ guards the
// markers this process wrote.
#ifndef QUORVEL_OUTLOOK_UNSAVED_MARKINGS_H_
#define QUORVEL_OUTLOOK_UNSAVED_MARKINGS_H_

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "bayes/mailbase_store.h"
#include "outlook/marking_journal.h"
#include "platform/file_system.h"

namespace quorvel::outlook {

inline constexpr const char* kUnsavedSuffix = ".unsaved";
inline constexpr const char* kUndoingSuffix = ".undoing";
inline constexpr const char* kSavedMarkersName = "saved";

// Whether the process `pid` still runs (the owner of a marker or of a move plan).
bool MarkingProcessRuns(long pid);

class UnsavedMarkings {
 public:
  // `files` must outlive this object; `dataFolder` ends with '/' (empty: no markers).
  UnsavedMarkings(platform::FileSystem& files, std::string dataFolder);
  UnsavedMarkings(const UnsavedMarkings&) = delete;
  UnsavedMarkings& operator=(const UnsavedMarkings&) = delete;

  // Step 2 for marking `id` (`suffix` kUndoingSuffix: for its undo). REQUIRES the
  // store's lock, held until its counts are added (or taken).
  platform::FileStatus Note(const std::string& id, const char* suffix = kUnsavedSuffix);
  // Removes the marker `id` + `suffix` written here; false when a save removed it first.
  bool Forget(const std::string& id, const char* suffix);
  // The store is about to write `raw` as "Bayes.raw": the markers this process wrote
  // are named for it in "markings/saved". REQUIRES the store's lock and the folder lock.
  platform::FileStatus Saving(std::string_view raw);
  // The store saved "Bayes.raw": the markers this process wrote are removed.
  void Saved();
  // Settles the markers of processes that are gone (and of an earlier process with
  // this one's id, not written by this object). Returns the ids whose counts never
  // reached "Bayes.raw" (undos that did not reach it are voided in the journal).
  std::vector<std::string> Settle();
  // Whether marking `id` still has a marker: what it learned is not known to be on disk
  // yet (its process still runs and has not saved); with kUndoingSuffix, of its undo.
  bool IsUnsaved(const std::string& id, const char* suffix = kUnsavedSuffix) const;

 private:
  std::string MarkerPath(const std::string& name) const;

  platform::FileSystem& files_;
  const std::string dataFolder_;
  mutable std::mutex mutex_;
  std::vector<std::string> mine_;  // names of markers written here; guarded by mutex_
};

// Steps 1 to 4 for a marking (RecordMarking writing the record, `unsaved` the marker
// when it is given), under the store's lock. `journal` null: nothing is written down
// and the counts are only added. False, with *error, when the record could not be
// written (the counts are added all the same: the learning is not lost, only its undo).
bool CommitMarking(platform::FileSystem& files, JournalFile* journal, const std::string& dataFolder,
                   MailbaseStore& store, UnsavedMarkings* unsaved, MarkingEntry* entry,
                   const LearnedCounts& learned, std::string* error);

// The counts part of taking marking `id` back, under the store's lock: the marker
// (`unsaved`, when given), the undo line, then `learned` leaves the store. False, with
// *error and nothing changed (a line written is voided), when the marker or the line
// cannot be written or the store no longer holds the counts.
bool CommitUndo(JournalFile& journal, MailbaseStore& store, UnsavedMarkings* unsaved,
                const std::string& id, const LearnedCounts& learned, platform::FileTime now,
                std::string* error);
// An undo begun by CommitUndo cannot be finished: its line is voided and the counts go
// back into the store (with a marking's marker when a save already took them out).
// When the void line cannot be written the counts stay out, as the entry says.
void RevokeUndo(JournalFile& journal, MailbaseStore& store, UnsavedMarkings* unsaved,
                const std::string& id, const LearnedCounts& learned, platform::FileTime now);

}  // namespace quorvel::outlook

#endif  // QUORVEL_OUTLOOK_UNSAVED_MARKINGS_H_
