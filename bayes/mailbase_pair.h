// How "Bayes.raw" and "Bayes.db" are known to belong together, how both are written
// so that a crash or a full disk never leaves a pair that does not, and the lock that
// lets only one writer at a time into a folder.
//
// The pair stamp is a 64-bit hash of the main pair block of "Bayes.raw" (the counts a
// table is compiled from). "Bayes.raw" carries it in a trailer after its last field,
// with a check of every byte before it; "Bayes.db" carries it at the end of its header
// block, after the version. Readers that stop where the layouts end never see either.
// Files written before stamps existed carry none; two such files belong together.
//
// Writing a pair (WriteMailbasePair), under the folder lock:
//   1. stale temporary files of killed writers are removed;
//   2. "Bayes.db" is copied to its ".bak" when it loads, whether or not it belongs to
//      the "Bayes.raw" in force (a table the user copied in is never compiled over
//      without a copy); "Bayes.raw" to its ".bak" when it loads;
//   3. the new "Bayes.db" replaces the old one, then the new "Bayes.raw" does.
// Each file is replaced atomically, so until the last rename the old "Bayes.raw" is in
// force and its table is "Bayes.db" or, once that is replaced, "Bayes.db.bak" (when
// "Bayes.db" was another pair's table, none: it is compiled again from the counts).
#ifndef QUORVEL_BAYES_MAILBASE_PAIR_H_
#define QUORVEL_BAYES_MAILBASE_PAIR_H_

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/file_system.h"

namespace quorvel {

inline constexpr std::string_view kMailbaseLockFileName = "Bayes.lock";

struct PairStamp {
  bool present = false;  // false: a file written before stamps existed
  std::uint64_t value = 0;
  bool operator==(const PairStamp&) const = default;
};

// The stamp of a main pair block as it is written.
PairStamp StampOfMainPair(std::string_view mainPairBytes);

// Raw file trailer: stamp, check, magic (24 bytes, not scrambled).
void AppendRawTrailer(PairStamp stamp, std::string* rawFile);
enum class RawTrailer {
  kIntact,  // a trailer whose check matches: the file is whole, *stamp is set
  kNone,    // no trailer: an older file, to be judged by reading it
  kDamaged  // a trailer whose check fails
};
RawTrailer ReadRawTrailer(std::string_view rawFile, PairStamp* stamp);

// Excludes other processes (and other Mailbase objects) from writing the mail base
// files of one folder, through "<folder>/Bayes.lock". Re-entrant for its own object.
// Thread-safety: every member may be called from any thread.
class MailbaseFolderLock {
 public:
  // `files` must outlive the lock.
  explicit MailbaseFolderLock(platform::FileSystem& files) : files_(files) {}
  MailbaseFolderLock(const MailbaseFolderLock&) = delete;
  MailbaseFolderLock& operator=(const MailbaseFolderLock&) = delete;

  // The folder whose lock file is taken; not while held.
  void SetFolder(std::string folder);

  // Held until the returned object goes. With `wait` false a lock held by another
  // process fails at once with EWOULDBLOCK. Creates the folder when missing.
  class Hold {
   public:
    ~Hold();
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;

   private:
    friend class MailbaseFolderLock;
    explicit Hold(MailbaseFolderLock* owner) : owner_(owner) {}
    MailbaseFolderLock* owner_;
  };
  platform::FileStatus Take(bool wait, std::unique_ptr<Hold>* hold);

  std::string LockPath() const;

 private:
  void Release();

  platform::FileSystem& files_;
  mutable std::mutex mutex_;
  std::string folder_;                        // guarded by mutex_
  int depth_ = 0;                             // guarded by mutex_
  std::unique_ptr<platform::FileLock> held_;  // guarded by mutex_
};

// How old files are judged: whether a raw file without a trailer loads, and whether
// a table loads (and with which stamp).
struct MailbaseFileCheck {
  bool (*rawLoads)(std::string_view bytes);
  bool (*tableLoads)(std::string_view bytes, PairStamp* stamp);
};

// Whether a raw file's bytes are whole: an intact trailer, or none and it loads.
bool RawFileIsWhole(std::string_view bytes, const MailbaseFileCheck& check,
                    PairStamp* stamp = nullptr);

// The stamp of the "Bayes.raw" a load uses: "Bayes.raw", else its ".bak", whichever
// is whole first. False when neither is.
bool StampInForce(platform::FileSystem& files, const std::string& rawPath,
                  const MailbaseFileCheck& check, PairStamp* stamp);

// What tells one "Bayes.raw" on disk from another: a hash of all its bytes in hex,
// "none" when there is no such file. Any save of changed counts changes it.
std::string RawFileFingerprint(platform::FileSystem& files, const std::string& rawPath);
// The same for a file's bytes (what RawFileFingerprint gives once they are written).
std::string RawBytesFingerprint(std::string_view bytes);

// What one save writes; a null pointer leaves that file alone.
struct MailbasePairWrite {
  std::string rawPath;
  std::string tablePath;
  const std::string* raw = nullptr;
  const std::string* table = nullptr;
};

// Steps 1 to 3 above. The caller holds the folder lock.
platform::FileStatus WriteMailbasePair(platform::FileSystem& files, const MailbasePairWrite& write,
                                       const MailbaseFileCheck& check);

}  // namespace quorvel

#endif  // QUORVEL_BAYES_MAILBASE_PAIR_H_
