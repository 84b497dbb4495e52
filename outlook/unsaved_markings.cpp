#include "outlook/unsaved_markings.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <sstream>

#include "bayes/mailbase.h"

namespace quorvel::outlook {
namespace {

bool ProcessRuns(long pid) {
  if (pid <= 0) return false;
  return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

}  // namespace

UnsavedMarkings::UnsavedMarkings(platform::FileSystem& files, std::string dataFolder)
    : files_(files), dataFolder_(std::move(dataFolder)) {}

std::string UnsavedMarkings::MarkerPath(const std::string& id) const {
  return platform::JoinFilePath(platform::JoinFilePath(dataFolder_, kMarkingsFolderName),
                                id + kUnsavedSuffix);
}

platform::FileStatus UnsavedMarkings::Note(const std::string& id) {
  if (dataFolder_.empty()) return {};
  const std::string marker = std::to_string(::getpid()) + " " +
                             RawFileFingerprint(files_, JoinPath(dataFolder_, kRawFileName)) + "\n";
  platform::FileStatus status = files_.WriteFileAtomic(MarkerPath(id), marker);
  if (status.ok()) {
    std::lock_guard<std::mutex> lock(mutex_);
    mine_.push_back(id);
  }
  return status;
}

void UnsavedMarkings::Saved() {
  std::vector<std::string> saved;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    saved.swap(mine_);
  }
  for (const std::string& id : saved) files_.Remove(MarkerPath(id));
}

bool UnsavedMarkings::IsUnsaved(const std::string& id) const {
  return !dataFolder_.empty() && files_.Exists(MarkerPath(id));
}

std::vector<std::string> UnsavedMarkings::Settle() {
  std::vector<std::string> lost;
  if (dataFolder_.empty()) return lost;
  const std::string folder = platform::JoinFilePath(dataFolder_, kMarkingsFolderName);
  std::vector<platform::FolderEntry> entries;
  if (!files_.ListFolder(folder, &entries).ok()) return lost;
  const std::string suffix = kUnsavedSuffix;
  const std::string now = RawFileFingerprint(files_, JoinPath(dataFolder_, kRawFileName));
  for (const platform::FolderEntry& e : entries) {
    if (e.name.size() <= suffix.size() ||
        e.name.compare(e.name.size() - suffix.size(), suffix.size(), suffix) != 0) {
      continue;
    }
    const std::string id = e.name.substr(0, e.name.size() - suffix.size());
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (std::find(mine_.begin(), mine_.end(), id) != mine_.end()) continue;
    }
    std::string text;
    if (!files_.ReadFile(MarkerPath(id), &text).ok()) continue;
    std::istringstream fields(text);
    long pid = 0;
    std::string before;
    fields >> pid >> before;
    if (pid != ::getpid() && ProcessRuns(pid)) continue;  // its owner may still save
    if (!before.empty() && before == now) {
      // Nothing was saved after the marking: its counts are not in "Bayes.raw".
      const std::string counts = platform::JoinFilePath(folder, id + ".counts");
      if (files_.Exists(counts) &&
          !files_.WriteFileAtomic(counts, SerializeLearned(LearnedCounts{})).ok()) {
        continue;  // settled by a later start
      }
      lost.push_back(id);
    }
    files_.Remove(MarkerPath(id));
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

}  // namespace quorvel::outlook
