#include "outlook/unsaved_markings.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <sstream>

#include "bayes/mailbase.h"
#include "platform/clock.h"

namespace quorvel::outlook {
bool MarkingProcessRuns(long pid) {
  if (pid <= 0) return false;
  return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

UnsavedMarkings::UnsavedMarkings(platform::FileSystem& files, std::string dataFolder)
    : files_(files), dataFolder_(std::move(dataFolder)) {}

std::string UnsavedMarkings::MarkerPath(const std::string& name) const {
  return platform::JoinFilePath(platform::JoinFilePath(dataFolder_, kMarkingsFolderName), name);
}

platform::FileStatus UnsavedMarkings::Note(const std::string& id, const char* suffix) {
  if (dataFolder_.empty()) return {};
  const std::string now = RawFileFingerprint(files_, JoinPath(dataFolder_, kRawFileName));
  // The first marker: "Bayes.raw" as it is holds none, as "markings/saved" then says.
  if (!files_.Exists(MarkerPath(kSavedMarkersName))) {
    platform::FileStatus status = files_.WriteFileAtomic(MarkerPath(kSavedMarkersName), now + "\n");
    if (!status.ok()) return status;
  }
  const std::string marker = std::to_string(::getpid()) + " " + now + "\n";
  platform::FileStatus status = files_.WriteFileAtomic(MarkerPath(id + suffix), marker);
  if (status.ok()) {
    std::lock_guard<std::mutex> lock(mutex_);
    mine_.push_back(id + suffix);
  }
  return status;
}

bool UnsavedMarkings::Forget(const std::string& id, const char* suffix) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = std::find(mine_.begin(), mine_.end(), id + suffix);
    if (it == mine_.end()) return false;
    mine_.erase(it);
  }
  files_.Remove(MarkerPath(id + suffix));
  return true;
}

void UnsavedMarkings::Saved() {
  std::vector<std::string> saved;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    saved.swap(mine_);
  }
  for (const std::string& name : saved) files_.Remove(MarkerPath(name));
}

namespace {

// The line of `lines` ("markings/saved") for the file with `fingerprint`: its markers.
// False when there is none.
bool SavedLine(const std::string& lines, const std::string& fingerprint,
               std::vector<std::string>* markers, std::string* whole = nullptr) {
  std::istringstream in(lines);
  for (std::string line; std::getline(in, line);) {
    std::istringstream fields(line);
    std::string first;
    if (!(fields >> first) || first != fingerprint) continue;
    for (std::string name; fields >> name;) markers->push_back(name);
    if (whole) *whole = line;
    return true;
  }
  return false;
}

}  // namespace

platform::FileStatus UnsavedMarkings::Saving(std::string_view raw) {
  if (dataFolder_.empty()) return {};
  std::string line = RawBytesFingerprint(raw);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const std::string& name : mine_) line += " " + name;
  }
  // The line of the file in force stays, for a stop before the new file replaces it.
  std::string lines, kept;
  std::vector<std::string> unused;
  if (files_.ReadFile(MarkerPath(kSavedMarkersName), &lines).ok()) {
    SavedLine(lines, RawFileFingerprint(files_, JoinPath(dataFolder_, kRawFileName)), &unused,
              &kept);
  }
  platform::FileStatus status =
      files_.CreateFolders(platform::JoinFilePath(dataFolder_, kMarkingsFolderName));
  if (!status.ok()) return status;
  return files_.WriteFileAtomic(MarkerPath(kSavedMarkersName),
                                line + "\n" + (kept.empty() ? "" : kept + "\n"));
}

bool UnsavedMarkings::IsUnsaved(const std::string& id, const char* suffix) const {
  return !dataFolder_.empty() && files_.Exists(MarkerPath(id + suffix));
}

std::vector<std::string> UnsavedMarkings::Settle() {
  std::vector<std::string> lost;
  if (dataFolder_.empty()) return lost;
  const std::string folder = platform::JoinFilePath(dataFolder_, kMarkingsFolderName);
  std::vector<platform::FolderEntry> entries;
  if (!files_.ListFolder(folder, &entries).ok()) return lost;
  const std::string now = RawFileFingerprint(files_, JoinPath(dataFolder_, kRawFileName));
  // The markers whose counts "Bayes.raw" holds, by the line written with it.
  std::string lines;
  const bool named = files_.ReadFile(MarkerPath(kSavedMarkersName), &lines).ok();
  std::vector<std::string> held;
  if (named) SavedLine(lines, now, &held);
  std::unique_ptr<JournalFile> journal;
  for (const platform::FolderEntry& e : entries) {
    const auto dot = e.name.rfind('.');
    if (dot == std::string::npos || dot == 0) continue;
    const std::string id = e.name.substr(0, dot);
    const bool undo = e.name.compare(dot, std::string::npos, kUndoingSuffix) == 0;
    if (!undo && e.name.compare(dot, std::string::npos, kUnsavedSuffix) != 0) continue;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (std::find(mine_.begin(), mine_.end(), e.name) != mine_.end()) continue;
    }
    std::string text;
    if (!files_.ReadFile(MarkerPath(e.name), &text).ok()) continue;
    std::istringstream fields(text);
    long pid = 0;
    std::string before;
    fields >> pid >> before;
    if (pid != ::getpid() && MarkingProcessRuns(pid)) continue;  // its owner may still save
    const bool reached = named ? std::find(held.begin(), held.end(), e.name) != held.end()
                               : before.empty() || before != now;
    if (!reached) {
      // Nothing was saved after the marking (or its undo): its counts are as they were.
      if (undo) {
        if (!journal) journal = std::make_unique<JournalFile>(files_, dataFolder_);
        if (!journal->AppendLine(UndoVoidLine(id, platform::SystemClock().Now()))) continue;
      } else {
        const std::string counts = platform::JoinFilePath(folder, id + ".counts");
        if (files_.Exists(counts) &&
            !files_.WriteFileAtomic(counts, SerializeLearned(LearnedCounts{})).ok()) {
          continue;  // settled by a later start
        }
        lost.push_back(id);
      }
    }
    files_.Remove(MarkerPath(e.name));
  }
  return lost;
}

bool CommitMarking(platform::FileSystem& files, JournalFile* journal, const std::string& dataFolder,
                   MailbaseStore& store, UnsavedMarkings* unsaved, MarkingEntry* entry,
                   const LearnedCounts& learned, std::string* error) {
  auto lock = store.Lock();
  bool recorded = true;
  if (journal != nullptr) {
    recorded = RecordMarking(files, *journal, dataFolder, entry, learned, error, [&] {
      return unsaved != nullptr && !learned.empty() ? unsaved->Note(entry->id)
                                                    : platform::FileStatus();
    });
  }
  if (!learned.empty()) store.Add(learned);
  return recorded;
}

bool CommitUndo(JournalFile& journal, MailbaseStore& store, UnsavedMarkings* unsaved,
                const std::string& id, const LearnedCounts& learned, platform::FileTime now,
                std::string* error) {
  auto lock = store.Lock();
  if (unsaved != nullptr) {
    if (platform::FileStatus status = unsaved->Note(id, kUndoingSuffix); !status.ok()) {
      *error = "the undo cannot be written down: " + status.message();
      return false;
    }
  }
  if (!journal.AppendLine(UndoLine(id, now))) {
    if (unsaved != nullptr) unsaved->Forget(id, kUndoingSuffix);
    *error = "the undo cannot be written down: the journal was not written";
    return false;
  }
  if (store.Unlearn(learned)) return true;
  journal.AppendLine(UndoVoidLine(id, now));
  if (unsaved != nullptr) unsaved->Forget(id, kUndoingSuffix);
  *error = "the learned counts have been replaced since (a new mail base or the wizard's scan)";
  return false;
}

void RevokeUndo(JournalFile& journal, MailbaseStore& store, UnsavedMarkings* unsaved,
                const std::string& id, const LearnedCounts& learned, platform::FileTime now) {
  auto lock = store.Lock();
  // No save since CommitUndo: "Bayes.raw" still holds the counts; the marker stays
  // until the line is voided. Otherwise the counts come back as a marking's do.
  const bool notSaved = unsaved != nullptr && unsaved->IsUnsaved(id, kUndoingSuffix);
  if (unsaved != nullptr && !notSaved && !unsaved->Note(id).ok()) return;
  if (!journal.AppendLine(UndoVoidLine(id, now))) return;
  if (notSaved) unsaved->Forget(id, kUndoingSuffix);
  store.Add(learned);
}

}  // namespace quorvel::outlook
