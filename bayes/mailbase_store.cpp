#include "bayes/mailbase_store.h"

#include <algorithm>
#include <span>
#include <utility>
#include <vector>

#include "bayes/corpus_blocks.h"
#include "bayes/mailbase_file.h"

namespace quorvel {
namespace {

// Legacy T1 totals outside (0, 1,000,000) mean the file carries record lists.
constexpr std::int64_t kLegacyRecordThreshold = 1'000'000;

// One message of the legacy record lists, learned as S2 + " " + S1 + S3; `repeat`
// stands for that many identical records.
struct LegacyRecord {
  std::u16string s1, s2, s3;
  std::int32_t weight = 1;
  std::int64_t repeat = 1;
};

bool ReadLegacyString(FileReader& reader, std::u16string* out) {
  std::int32_t length = 0;
  if (!reader.ReadInt32(true, &length)) return false;
  if (length < 0 || length > kMaxTokenLength) return false;
  return reader.ReadText(true, static_cast<std::size_t>(length), out);
}

// Junk list, then good list. Stops at the first failure; what was read stays.
void ReadRecordLists(FileReader& reader, std::vector<LegacyRecord> (&lists)[2]) {
  for (int index : {CorpusPair::kJunk, CorpusPair::kGood}) {
    std::int32_t records = 0;
    if (!reader.ReadInt32(true, &records)) return;
    for (std::int32_t i = 0; i < records; ++i) {
      LegacyRecord record;
      if (!ReadLegacyString(reader, &record.s1) || !ReadLegacyString(reader, &record.s2) ||
          !ReadLegacyString(reader, &record.s3) || !reader.ReadInt32(true, &record.weight)) {
        return;
      }
      lists[index].push_back(std::move(record));
    }
  }
}

// Counts reduced to presence: one record with every token followed by a blank, and
// one empty record for each further message.
void ConvertLegacyCorpus(const TokenCorpus& corpus, std::vector<LegacyRecord>* list) {
  const std::int32_t messages = corpus.messageCount();
  if (messages <= 0) return;
  LegacyRecord all;
  for (const auto& [token, count] : corpus.SortedEntries()) {
    all.s3.append(token);
    all.s3.push_back(u' ');
  }
  list->push_back(std::move(all));
  if (messages > 1) {
    LegacyRecord empty;
    empty.repeat = messages - 1;
    list->push_back(std::move(empty));
  }
}

}  // namespace

MailbaseStore::MailbaseStore(ProbabilityTable& table, platform::MessageBoxes& messageBoxes,
                             platform::FileSystem& files)
    : table_(table), messageBoxes_(messageBoxes), files_(files), folderLock_(files) {}

const MailbaseFileCheck& MailbaseStore::FileCheck() {
  static const MailbaseFileCheck check{IsLoadable, ProbabilityTable::LoadsWithStamp};
  return check;
}

bool MailbaseStore::IsLoadable(std::string_view file) {
  FileReader reader(std::span<const std::uint8_t>(
      reinterpret_cast<const std::uint8_t*>(file.data()), file.size()));
  std::int32_t version = 0;
  std::int32_t balance = 0;
  CorpusPair first;
  CorpusPair second;
  if (reader.ReadInt32(false, &version) && version == kMailbaseVersion &&
      reader.ReadInt32(false, &balance) && ReadCorpusPair(reader, &first) &&
      ReadCorpusPair(reader, &second)) {
    return true;
  }
  // The legacy layout: three pairs at least.
  FileReader legacy(std::span<const std::uint8_t>(
      reinterpret_cast<const std::uint8_t*>(file.data()), file.size()));
  CorpusPair third;
  return ReadCorpusPair(legacy, &first) && ReadCorpusPair(legacy, &second) &&
         ReadCorpusPair(legacy, &third);
}

MailbaseStore::~MailbaseStore() { StopRebuildThread(); }

void MailbaseStore::SetPath(std::string rawPath) {
  auto lock = Lock();
  rawPath_ = std::move(rawPath);
  folderLock_.SetFolder(rawPath_.empty() ? std::string() : platform::FolderOfPath(rawPath_));
  Reset();
}

void MailbaseStore::SetInitialPath(std::string initialPath) {
  auto lock = Lock();
  initialPath_ = std::move(initialPath);
}

void MailbaseStore::Reset() {
  auto lock = Lock();
  loaded_ = false;
  failed_ = false;
  dirty_ = false;
  changed_ = false;
  loadedStamp_ = PairStamp{};
  loadedFrom_ = LoadSource::kNone;
  main_.Clear();
  pending_.Clear();
  balance_ = 0;
}

void MailbaseStore::StartFresh() {
  auto lock = Lock();
  Reset();
  loaded_ = true;
  dirty_ = true;
  changed_ = true;
  loadedFrom_ = LoadSource::kFresh;
}

bool MailbaseStore::EnsureLoaded() {
  auto lock = Lock();
  if (loaded_) return true;
  if (failed_) return false;
  Reset();
  if (!rawPath_.empty()) {
    if (LoadRaw(rawPath_)) {
      loadedFrom_ = LoadSource::kRaw;
      return true;
    }
    if (LoadRaw(rawPath_ + std::string(kBackupSuffix))) {
      dirty_ = true;  // so that the next save rewrites the main file
      loadedFrom_ = LoadSource::kRawBackup;
      return true;
    }
  }
  // The shipped counts stand in only where the user has none: a damaged Bayes.raw (or
  // its backup) is the user's to repair, and learning on the seed would save over it.
  const bool usersDamaged =
      !rawPath_.empty() &&
      (files_.Exists(rawPath_) || files_.Exists(rawPath_ + std::string(kBackupSuffix)));
  if (!initialPath_.empty() && !usersDamaged && LoadRaw(initialPath_)) {
    dirty_ = true;
    loadedFrom_ = LoadSource::kSeed;
    return true;
  }
  loaded_ = false;
  failed_ = true;
  return false;
}

bool MailbaseStore::LoadRaw(const std::string& path) {
  std::string file;
  if (!files_.ReadFile(path, &file).ok()) return false;
  PairStamp stamp;
  const RawTrailer trailer = ReadRawTrailer(file, &stamp);
  if (trailer == RawTrailer::kDamaged) return false;  // changed after it was written
  FileReader reader(std::span<const std::uint8_t>(
      reinterpret_cast<const std::uint8_t*>(file.data()), file.size()));
  std::int32_t version = 0;
  std::int32_t balance = 0;
  CorpusPair pending;
  CorpusPair main;
  if (reader.ReadInt32(false, &version) && version == kMailbaseVersion &&
      reader.ReadInt32(false, &balance) && ReadCorpusPair(reader, &pending) &&
      ReadCorpusPair(reader, &main)) {
    auto lock = Lock();
    pending_ = std::move(pending);
    main_ = std::move(main);
    balance_ = balance;
    dirty_ = false;
    failed_ = false;
    loaded_ = true;
    changed_ = false;
    loadedStamp_ = trailer == RawTrailer::kIntact ? stamp : PairStamp{};
    return true;
  }
  return LoadLegacyBytes(file);
}

bool MailbaseStore::LoadLegacy(const std::string& path) {
  std::string file;
  return files_.ReadFile(path, &file).ok() && LoadLegacyBytes(file);
}

bool MailbaseStore::LoadLegacyBytes(std::string_view file) {
  auto lock = Lock();
  Reset();
  FileReader reader(std::span<const std::uint8_t>(
      reinterpret_cast<const std::uint8_t*>(file.data()), file.size()));
  CorpusPair t1;
  CorpusPair t2;
  std::vector<LegacyRecord> lists[2];
  bool ok = ReadCorpusPair(reader, &t1);
  if (ok) {
    const std::int64_t total = t1.TotalMessages();
    const bool convert = total > 0 && total < kLegacyRecordThreshold;
    if (convert) {
      for (int index : {CorpusPair::kGood, CorpusPair::kJunk}) {
        ConvertLegacyCorpus(t1.Half(index), &lists[index]);
      }
    }
    std::int32_t ignored = 0;
    ok = ReadCorpusPair(reader, &t2) && ReadCorpusPair(reader, &main_) &&
         reader.ReadInt32(true, &ignored) && reader.ReadInt32(true, &ignored);
    if (ok && (total == 0 || total >= kLegacyRecordThreshold)) ReadRecordLists(reader, lists);
  }
  if (!ok) {
    Reset();
    return false;
  }
  loaded_ = true;
  failed_ = false;
  dirty_ = false;
  main_.Merge(t2);
  CorpusPair learned;
  for (int index : {CorpusPair::kJunk, CorpusPair::kGood}) {
    for (const LegacyRecord& record : lists[index]) {
      std::u16string text = record.s2 + u" " + record.s1 + record.s3;
      learned.Half(index).LearnText(text, record.weight);
      // Only the empty records of a converted corpus repeat, and each of them adds one
      // message and no token: add the rest at once, so that a damaged count cannot
      // keep the load busy for billions of rounds.
      if (record.repeat > 1) {
        learned.Half(index).AddMessages(static_cast<std::int32_t>(record.repeat - 1));
      }
    }
  }
  main_.Merge(learned);
  balance_ = 0;
  return true;
}

std::string MailbaseStore::SerializeRaw(PairStamp* stamp) const {
  FileWriter writer;
  writer.Int32(false, kMailbaseVersion);
  writer.Int32(false, balance_);
  WriteCorpusPair(writer, pending_);
  const std::size_t mainStart = writer.bytes().size();
  WriteCorpusPair(writer, main_);
  *stamp = StampOfMainPair(std::string_view(writer.bytes()).substr(mainStart));
  writer.Int32(false, balance_);
  std::string bytes = writer.bytes();
  AppendRawTrailer(*stamp, &bytes);
  return bytes;
}

bool MailbaseStore::WriteFiles(const std::string& rawPath, const std::string* raw,
                               const std::string* table, bool wait) {
  const std::string tablePath = table_.path();
  if ((raw != nullptr && rawPath.empty()) || (table != nullptr && tablePath.empty())) {
    lastSaveError_ = "no folder for the mail base files";
    return false;
  }
  std::unique_ptr<MailbaseFolderLock::Hold> hold;
  platform::FileStatus status;
  // The lock guards the folder of "Bayes.raw"; a file saved elsewhere (tests, tools)
  // is nobody else's.
  if (!rawPath_.empty() && (raw == nullptr || rawPath == rawPath_)) {
    status = folderLock_.Take(wait, &hold);
  }
  const bool ours = raw != nullptr && rawPath == rawPath_;
  if (status.ok() && ours && savingListener_) status = savingListener_(*raw);
  if (status.ok()) {
    status = WriteMailbasePair(files_, {rawPath, tablePath, raw, table}, FileCheck());
  }
  lastSaveError_ = status.message();
  if (status.ok() && ours && savedListener_) savedListener_();
  return status.ok();
}

bool MailbaseStore::SaveRaw(const std::string& path) {
  auto lock = Lock();
  if (path.empty()) return false;
  PairStamp stamp;
  const std::string bytes = SerializeRaw(&stamp);
  return WriteFiles(path, &bytes, nullptr, /*wait=*/true);
}

void MailbaseStore::SaveIfDirty() {
  auto lock = Lock();
  if (!dirty_ || failed_ || !loaded_) return;
  // Counts taken from the shipped seed are saved only together with a table compiled
  // from them: beside a table of the user's own they would otherwise claim it as their
  // partner, and that table would be compiled over without a backup.
  if (loadedFrom_ == LoadSource::kSeed) {
    Rebuild();
    return;
  }
  if (!SaveRaw(rawPath_)) return;  // stays dirty: the next save tries again
  dirty_ = false;
  loaded_ = true;
  failed_ = false;
}

bool MailbaseStore::changed() const {
  auto lock = Lock();
  return changed_;
}

platform::FileStatus MailbaseStore::HoldFolder(bool wait,
                                               std::unique_ptr<MailbaseFolderLock::Hold>* hold) {
  return folderLock_.Take(wait, hold);
}

bool MailbaseStore::WriteTableFile(const std::string& bytes) {
  auto lock = Lock();
  return WriteFiles(rawPath_, nullptr, &bytes, /*wait=*/false);
}

std::string MailbaseStore::lastSaveError() const {
  auto lock = Lock();
  return lastSaveError_;
}

PairStamp MailbaseStore::loadedStamp() const {
  auto lock = Lock();
  return loadedStamp_;
}

CorpusPair MailbaseStore::MainPair() const {
  auto lock = Lock();
  return main_;
}

CorpusPair MailbaseStore::PendingPair() const {
  auto lock = Lock();
  return pending_;
}

TokenCorpus MailbaseStore::ScanCorpus() const {
  auto lock = Lock();
  return scan_;
}

std::int32_t MailbaseStore::balance() const {
  auto lock = Lock();
  return balance_;
}

bool MailbaseStore::loaded() const {
  auto lock = Lock();
  return loaded_;
}

LoadSource MailbaseStore::loadedFrom() const {
  auto lock = Lock();
  return loadedFrom_;
}

bool MailbaseStore::failed() const {
  auto lock = Lock();
  return failed_;
}

bool MailbaseStore::dirty() const {
  auto lock = Lock();
  return dirty_;
}

void MailbaseStore::set_balance(std::int32_t balance) {
  auto lock = Lock();
  balance_ = balance;
}

void MailbaseStore::MarkDirty() {
  auto lock = Lock();
  dirty_ = true;
  changed_ = true;
}

void MailbaseStore::SetMainPair(const CorpusPair& pair) {
  auto lock = Lock();
  main_ = pair;
  changed_ = true;
}

void MailbaseStore::SetSavedListener(std::function<void()> saved) {
  auto lock = Lock();
  savedListener_ = std::move(saved);
}

void MailbaseStore::SetSavingListener(
    std::function<platform::FileStatus(std::string_view raw)> saving) {
  auto lock = Lock();
  savingListener_ = std::move(saving);
}

void MailbaseStore::SetRebuildHookForTesting(std::function<void()> hook) {
  auto lock = Lock();
  rebuildHook_ = std::move(hook);
}

}  // namespace quorvel
