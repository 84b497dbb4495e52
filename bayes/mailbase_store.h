// The learned counts of the mail base ("Bayes.raw"), learning, and the rebuild that
// compiles them into the probability table.
//
// New learning goes into the pending pair; a rebuild merges it into the main pair,
// recompiles the table from the main pair and saves both files. The first-run
// wizard gathers its own scan corpus and puts it in place of the main good corpus.
//
// Ownership: the store refers to the table and the message boxes it is given; both
// must outlive it. One store per process, owned by Mailbase.
//
// Thread-safety: the store's recursive lock guards every field below; learning, the
// rebuild and loading and saving take it. The rebuild takes the table's lock inside
// the store's; nothing takes them in the other order. RequestRebuild may be called from
// any thread.
#ifndef QUORVEL_BAYES_MAILBASE_STORE_H_
#define QUORVEL_BAYES_MAILBASE_STORE_H_

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "bayes/learned_counts.h"
#include "bayes/mailbase_pair.h"
#include "bayes/probability_table.h"
#include "bayes/token_corpus.h"
#include "platform/event.h"
#include "platform/file_system.h"
#include "platform/message_box.h"

namespace quorvel {

// String-table number of "Could not load spam mail base." shown by learning.
inline constexpr unsigned kIdsMailbaseLoadFailed = 604;

// Weights of the callers of Learn.
inline constexpr std::int32_t kMarkingWeight = 5;
inline constexpr std::int32_t kAutomaticWeight = 1;

// Which file the counts were loaded from (kFresh: none, StartFresh).
enum class LoadSource { kNone, kRaw, kRawBackup, kSeed, kFresh };

class MailbaseStore {
 public:
  // `table`, `messageBoxes` and `files` must outlive the store.
  MailbaseStore(ProbabilityTable& table, platform::MessageBoxes& messageBoxes,
                platform::FileSystem& files = platform::RealFileSystem());
  MailbaseStore(const MailbaseStore&) = delete;
  MailbaseStore& operator=(const MailbaseStore&) = delete;
  // Stops the rebuild thread if it still runs.
  ~MailbaseStore();

  // Full path of "Bayes.raw"; resets the store. Its folder is the one the folder
  // lock guards.
  void SetPath(std::string rawPath);
  // Full path of the seed file "Bayes.raw.initial" (in the module folder).
  void SetInitialPath(std::string initialPath);

  // Not loaded, not failed, not dirty; both pairs empty; balance 0.
  void Reset();
  // An empty mail base that nothing is read into (a build): loaded and dirty, so that
  // the next save writes it; nothing is written before.
  void StartFresh();
  // Loads the raw file, else its ".bak", else the seed file; after a failure, no
  // further attempts (and no saving) until SetPath.
  bool EnsureLoaded();
  // Reads a file in the current layout (else, as a fall-back, the legacy layout).
  bool LoadRaw(const std::string& path);
  // Reads a file in the legacy layout and learns its record lists.
  bool LoadLegacy(const std::string& path);
  // Whether a file's bytes load as counts (what may become its ".bak").
  static bool IsLoadable(std::string_view file);
  // How the pair's files are judged before they are replaced (mailbase_pair.h).
  static const MailbaseFileCheck& FileCheck();
  // Copies the file to ".bak" when it is whole and writes the counts, stamped with
  // their main pair. False when it could not write (lastSaveError says why).
  bool SaveRaw(const std::string& path);
  // Saves when dirty and not failed; a failed write leaves the store dirty. Counts
  // loaded from the seed are saved by a rebuild, which writes their table with them
  // (the table they replace kept as its ".bak").
  void SaveIfDirty();
  // Whether anything was learned or replaced since the counts were loaded. Loading
  // alone (even from the ".bak", which makes the store dirty) never writes a file:
  // Mailbase saves at the end only a store that changed.
  bool changed() const;

  // The lock on the folder of "Bayes.raw" that every save takes (waiting). A command
  // that writes the mail base takes it first, for its whole run.
  platform::FileStatus HoldFolder(bool wait, std::unique_ptr<MailbaseFolderLock::Hold>* hold);
  std::string FolderLockPath() const { return folderLock_.LockPath(); }
  // Writes a table compiled from the loaded counts as "Bayes.db" (its ".bak" kept when
  // it belongs to the pair), without waiting for the folder lock. False when it was
  // not written (lastSaveError says why).
  bool WriteTableFile(const std::string& bytes);
  // Why the last save failed ("" after a successful one).
  std::string lastSaveError() const;
  // The pair stamp of the file the counts were loaded from.
  PairStamp loadedStamp() const;

  // Learns subject + " " + body into the pending junk or good corpus with `weight`.
  // A good message is learned only while the balance is above 0 or with `force`.
  // When `learned` is given, what this call added is added to it as well.
  void Learn(std::u16string_view body, std::u16string_view subject, bool junk, std::int32_t weight,
             bool force, LearnedCounts* learned = nullptr);
  // Takes back what `learned` added: from the pending counts first, the rest from the
  // main ones; a token left with nothing is removed, so that learning and unlearning
  // leave the files as they were. False, changing nothing, when the store cannot be
  // loaded or holds less than that (its counts were replaced since, by the wizard's
  // scan or a new mail base).
  bool Unlearn(const LearnedCounts& learned);
  // Puts counts gathered beforehand (AddLearning) into the pending pair in one step,
  // so that a save holds all of them or none.
  void Add(const LearnedCounts& learned);
  // `saved` is called, under the store's lock, after each successful write of
  // "Bayes.raw": every count added before then is on disk. Empty: nobody is told.
  void SetSavedListener(std::function<void()> saved);
  // `saving` is called, under the store's lock and the folder lock, before each write
  // of "Bayes.raw", with the bytes about to be written; a failure it returns stops the
  // save (lastSaveError says why). Empty: nobody is asked.
  void SetSavingListener(std::function<platform::FileStatus(std::string_view raw)> saving);
  // The wizard's scan: one message into the scan corpus; empty it; put it in place
  // of the main good corpus (scaled to its size) and rebuild.
  void LearnScan(std::u16string_view subject, std::u16string_view body);
  void ClearScan();
  void ApplyScan();
  // Merges the pending pair into the main pair, recompiles and saves the table, and
  // saves the raw file when dirty. Does nothing while the store cannot be loaded.
  void Rebuild();

  // 0, or the system error code when the thread could not be started.
  int StartRebuildThread();
  void StopRebuildThread();
  // Wakes the rebuild thread; requests made during a rebuild collapse into one. A
  // request not yet served when the thread is stopped is served before it ends.
  void RequestRebuild();

  // Marks the counts as changed, so that the next save writes them (an older mail
  // base imported in place of the loaded one).
  void MarkDirty();

  // Inspection (copies taken under the lock).
  CorpusPair MainPair() const;
  CorpusPair PendingPair() const;
  TokenCorpus ScanCorpus() const;
  std::int32_t balance() const;
  bool loaded() const;
  bool failed() const;
  LoadSource loadedFrom() const;
  bool dirty() const;
  void set_balance(std::int32_t balance);
  // Replaces the main pair (tools that build a mail base from folders, tests).
  void SetMainPair(const CorpusPair& pair);

  // For tests: called on the rebuilding thread at the start of each Rebuild.
  void SetRebuildHookForTesting(std::function<void()> hook);

  std::unique_lock<std::recursive_mutex> Lock() const {
    return std::unique_lock<std::recursive_mutex>(mutex_);
  }

 private:
  bool EnsureLoadedOrTell();  // shows message 604 when loading fails
  bool LoadLegacyBytes(std::string_view file);
  // The file's bytes with the trailer; *stamp gets the main pair's stamp. Requires mutex_.
  std::string SerializeRaw(PairStamp* stamp) const;
  // Writes either file or both (mailbase_pair.h) under the folder lock; records the
  // failure. Requires mutex_.
  bool WriteFiles(const std::string& rawPath, const std::string* raw, const std::string* table,
                  bool wait);
  void RebuildThreadBody(platform::AutoResetEvent* wake);

  ProbabilityTable& table_;
  platform::MessageBoxes& messageBoxes_;
  platform::FileSystem& files_;

  mutable std::recursive_mutex mutex_;
  std::string rawPath_;                                                   // guarded by mutex_
  std::string initialPath_;                                               // guarded by mutex_
  bool loaded_ = false;                                                   // guarded by mutex_
  bool failed_ = false;                                                   // guarded by mutex_
  bool dirty_ = false;                                                    // guarded by mutex_
  LoadSource loadedFrom_ = LoadSource::kNone;                             // guarded by mutex_
  bool changed_ = false;                                                  // guarded by mutex_
  PairStamp loadedStamp_;                                                 // guarded by mutex_
  std::string lastSaveError_;                                             // guarded by mutex_
  CorpusPair main_;                                                       // guarded by mutex_
  CorpusPair pending_;                                                    // guarded by mutex_
  std::int32_t balance_ = 0;                                              // guarded by mutex_
  TokenCorpus scan_;                                                      // guarded by mutex_
  std::function<void()> rebuildHook_;                                     // guarded by mutex_
  std::function<void()> savedListener_;                                   // guarded by mutex_
  std::function<platform::FileStatus(std::string_view)> savingListener_;  // guarded by mutex_

  MailbaseFolderLock folderLock_;

  std::mutex threadMutex_;  // guards thread_ and wake_ (never held across a rebuild)
  std::unique_ptr<std::thread> thread_;
  std::unique_ptr<platform::AutoResetEvent> wake_;
  std::atomic<bool> running_{true};
  // A rebuild was asked for and has not started yet; the thread runs it before it ends,
  // so that a marking just before the stop still reaches the table.
  std::atomic<bool> rebuildAsked_{false};
};

}  // namespace quorvel

#endif  // QUORVEL_BAYES_MAILBASE_STORE_H_
