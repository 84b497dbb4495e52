#include "outlook/move_detector.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <map>
#include <string_view>
#include <utility>
#include <vector>

#include "mapi/queries.h"
#include "outlook/spam_departures.h"

namespace quorvel::outlook {
namespace {

std::string MessageIdOf(mapi::Message& message) {
  auto value = mapi::HrGetOneProp(message, mapi::PR_INTERNET_MESSAGE_ID);
  const std::string* text = value.ok() ? value->AsString8() : nullptr;
  return text ? *text : std::string();
}

std::shared_ptr<mapi::Message> OpenMessage(mapi::Session& session, const mapi::EntryId& id) {
  auto opened = session.OpenEntry(id, mapi::MAPI_BEST_ACCESS);
  if (!opened.ok() || opened->objectType != mapi::MAPI_MESSAGE) return nullptr;
  return opened->As<mapi::Message>();
}

bool StartsWithNoCase(std::string_view line, std::string_view prefix) {
  if (line.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(line[i])) !=
        std::tolower(static_cast<unsigned char>(prefix[i]))) {
      return false;
    }
  }
  return true;
}

// The fields of a header block that record one delivery (with their continuation
// lines). A copy of a message carries the same; the same message delivered again
// does not. Flags a mail program keeps in the header (Status, X-Keywords) differ
// between a copy and its original and are left out.
std::string DeliveryTrace(std::string_view headers) {
  static constexpr std::array<std::string_view, 5> kFields = {
      "received:", "delivered-to:", "x-original-to:", "return-path:", "date:"};
  std::string trace;
  bool keep = false;
  while (!headers.empty()) {
    const std::size_t end = headers.find('\n');
    std::string_view line = headers.substr(0, end);
    headers = end == std::string_view::npos ? std::string_view() : headers.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) break;
    if (line.front() != ' ' && line.front() != '\t') {
      keep = std::any_of(kFields.begin(), kFields.end(),
                         [&](std::string_view f) { return StartsWithNoCase(line, f); });
    }
    if (keep) trace.append(line).push_back('\n');
  }
  return trace;
}

std::string TraceOf(mapi::Message& message) {
  auto value = mapi::HrGetOneProp(message, mapi::PR_TRANSPORT_MESSAGE_HEADERS);
  const std::string* text = value.ok() ? value->AsString8() : nullptr;
  return text ? DeliveryTrace(*text) : std::string();
}

std::string Bytes(const mapi::EntryId& id) { return std::string(id.bytes()); }

// Rows read at a time from the spam folder's contents.
constexpr std::int32_t kListBatch = 1024;
// The dead bytes of the Message-ID string that make it be packed anew (and half of it).
constexpr std::size_t kPackAtDeadBytes = 64 * 1024;

// Hands every entry id of `folder` to `each`, a batch at a time. False when the folder
// could not be read.
bool ForEachEntry(mapi::Session& session, const mapi::EntryId& folderId,
                  const std::function<void(const mapi::EntryId&)>& each) {
  auto opened = session.OpenEntry(folderId, mapi::MAPI_BEST_ACCESS);
  if (!opened.ok() || opened->objectType != mapi::MAPI_FOLDER) return false;
  auto folder = opened->As<mapi::Folder>();
  auto table = folder ? folder->GetContentsTable(0)
                      : mapi::Result<std::shared_ptr<mapi::Table>>(mapi::MAPI_E_NOT_FOUND);
  if (!table.ok()) return false;
  const mapi::PropTag columns[] = {mapi::PR_ENTRYID};
  if (mapi::Failed((*table)->SetColumns(columns, mapi::TBL_BATCH))) return false;
  for (;;) {
    auto rows = (*table)->QueryRows(kListBatch, 0);
    if (!rows.ok()) return false;
    if (rows->empty()) return true;
    for (const mapi::Row& row : *rows) {
      mapi::EntryId id = mapi::GetEntryId(row, mapi::PR_ENTRYID);
      if (id.present()) each(id);
    }
  }
}

IdHash HashOf(const mapi::EntryId& id) { return HashId(id.bytes()); }

}  // namespace

MoveDetector::MoveDetector(SettingsHolder& settings, OwnMoves& own, UserMoveSink* sink,
                           std::function<void(const std::string&)> log)
    : settings_(settings), own_(own), sink_(sink), log_(std::move(log)) {}

MoveDetector::~MoveDetector() { StopScanning(); }

mapi::EntryId MoveDetector::SpamFolderId() const {
  auto ref = settings_.GetSpamFolder();
  if (!ref || ref->entryId.empty()) return {};
  std::string hex;
  for (char16_t c : ref->entryId) {
    if (c > 0x7F) return {};
    hex.push_back(static_cast<char>(c));
  }
  auto id = mapi::EntryId::FromHex(hex);
  return id ? *id : mapi::EntryId();
}

bool MoveDetector::SameFolder(mapi::Session& session, const mapi::EntryId& a,
                              const mapi::EntryId& b) const {
  if (!a.present() || !b.present()) return false;
  if (a == b) return true;
  auto same = session.CompareEntryIDs(a, b, 0);
  return same.ok() && *same;
}

std::string_view MoveDetector::IdOf(const Known& known) const {
  return std::string_view(ids_).substr(known.offset, known.size);
}

void MoveDetector::AddKnown(IdHash entry, std::string_view messageId) {
  RemoveKnown(entry);
  const Known known{static_cast<std::uint32_t>(ids_.size()),
                    static_cast<std::uint32_t>(messageId.size())};
  ids_.append(messageId);
  entries_.emplace(entry, known);
  if (!messageId.empty()) ++idCounts_[HashId(messageId)];
  if (listings_ > 0) addedWhileListing_.push_back(entry);
}

void MoveDetector::RemoveKnown(IdHash entry) {
  auto it = entries_.find(entry);
  if (it == entries_.end()) return;
  const Known known = it->second;
  entries_.erase(it);
  if (known.size == 0) return;
  if (auto count = idCounts_.find(HashId(IdOf(known))); count != idCounts_.end()) {
    if (--count->second == 0) idCounts_.erase(count);
  }
  deadBytes_ += known.size;
  if (deadBytes_ < kPackAtDeadBytes || deadBytes_ * 2 < ids_.size()) return;
  // Most of the string is Message-IDs gone from the folder: pack the live ones.
  std::string packed;
  packed.reserve(ids_.size() - deadBytes_);
  for (auto& [e, k] : entries_) {
    const std::string_view id = IdOf(k);
    k.offset = static_cast<std::uint32_t>(packed.size());
    packed.append(id);
  }
  ids_ = std::move(packed);
  deadBytes_ = 0;
}

void MoveDetector::ClearKnown() {
  entries_ = {};
  idCounts_ = {};
  toldOut_ = {};
  ids_ = std::string();
  deadBytes_ = 0;
}

void MoveDetector::Report(UserMove move) {
  if (move.messages.empty()) return;
  const bool learn = settings_.Lock()->learnFromMoves != 0;
  if (log_) {
    log_("the user moved " + std::to_string(move.messages.size()) + " message(s) " +
         (move.junk ? "into" : "out of") + " the spam folder" +
         (learn ? "" : " (not learned: LearnFromMoves is off)"));
  }
  if (sink_ != nullptr && learn) sink_->OnUserMove(move);
}

bool MoveDetector::ScanSpamFolder(mapi::Session& session) {
  const mapi::EntryId spamId = SpamFolderId();
  if (!spamId.present()) return false;
  bool baseline = false;
  std::size_t addsBefore = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (folder_ != spamId.bytes()) {  // another spam folder: learn it afresh
      folder_ = Bytes(spamId);
      ClearKnown();
      scanned_ = false;
    }
    baseline = !scanned_;
    ++listings_;
    addsBefore = addedWhileListing_.size();
  }
  // Every entry there by its hash, and the entry ids of those not known yet only.
  std::vector<IdHash> now;
  std::vector<mapi::EntryId> fresh;
  const bool listed = ForEachEntry(session, spamId, [&](const mapi::EntryId& id) {
    const IdHash entry = HashOf(id);
    now.push_back(entry);
    std::lock_guard<std::mutex> lock(mutex_);
    if (!entries_.count(entry)) fresh.push_back(id);
  });
  std::sort(now.begin(), now.end());
  std::vector<std::string> departed;  // Message-IDs
  {
    std::lock_guard<std::mutex> lock(mutex_);
    // Entries told of while the folder was read (the host moving spam in meanwhile)
    // may lie where the reading had passed already: they are not gone.
    std::vector<IdHash> since(addedWhileListing_.begin() + addsBefore, addedWhileListing_.end());
    std::sort(since.begin(), since.end());
    if (--listings_ == 0) addedWhileListing_ = {};
    if (!listed) return false;
    std::vector<IdHash> gone;
    for (const auto& [entry, known] : entries_) {
      if (!std::binary_search(now.begin(), now.end(), entry) &&
          !std::binary_search(since.begin(), since.end(), entry)) {
        gone.push_back(entry);
      }
    }
    for (const IdHash entry : gone) {
      const std::string messageId(IdOf(entries_.at(entry)));
      const bool told = toldOut_.erase(entry) > 0;
      RemoveKnown(entry);
      // Left without a word from the store (another IMAP client moved it), unless its
      // leaving was told already or the same message is still there.
      if (!told && !messageId.empty() && !idCounts_.count(HashId(messageId))) {
        departed.push_back(messageId);
      }
    }
  }
  now = {};
  // Message-IDs are read without the lock: a store may be slow.
  std::vector<std::pair<mapi::EntryId, std::string>> read;
  for (mapi::EntryId& entry : fresh) {
    auto message = OpenMessage(session, entry);
    read.emplace_back(std::move(entry), message ? MessageIdOf(*message) : std::string());
  }
  fresh = {};
  UserMove junk{spamId, {}, true};
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& [entry, messageId] : read) {
      // Known meanwhile (a moved notification told of it), already there under another
      // entry (the same message seen twice, a duplicate) or put there by the host: no
      // move.
      const IdHash hash = HashOf(entry);
      if (entries_.count(hash)) continue;
      const bool known = !messageId.empty() && idCounts_.count(HashId(messageId)) > 0;
      AddKnown(hash, messageId);
      if (baseline || known || messageId.empty() || own_.IsOwn(messageId, spamId)) continue;
      junk.messages.push_back(std::move(entry));
    }
    scanned_ = true;
    ++scans_;
  }
  Report(std::move(junk));
  // More than a few gone at once is a deletion (the spam folder emptied), not moves
  // one by one: the folders are not searched for them.
  if (!departed.empty() && departed.size() <= kMaxDepartedLookedFor) {
    std::map<std::string, UserMove> good;  // by folder
    for (const auto& [messageId, where] : FindDepartures(session, spamId, departed)) {
      if (own_.IsOwn(messageId, where.folder)) continue;
      UserMove& move = good[Bytes(where.folder)];
      move.folder = where.folder;
      move.messages.push_back(where.message);
    }
    for (auto& [where, move] : good) Report(std::move(move));
  }
  return true;
}

void MoveDetector::OnMoved(mapi::Session& session, const mapi::Notification& n) {
  const mapi::EntryId spamId = SpamFolderId();
  if (!spamId.present() || n.objectType != mapi::MAPI_MESSAGE) return;
  const bool into = SameFolder(session, n.parentId, spamId);
  const bool outOf = SameFolder(session, n.oldParentId, spamId);
  if (into == outOf) return;  // neither, or within the spam folder
  std::string messageId;
  if (into) {
    if (auto message = OpenMessage(session, n.entryId)) messageId = MessageIdOf(*message);
  } else {
    std::lock_guard<std::mutex> lock(mutex_);
    if (auto it = entries_.find(HashOf(n.oldId)); it != entries_.end()) {
      messageId = IdOf(it->second);
    }
  }
  if (messageId.empty() && !into) {
    if (auto message = OpenMessage(session, n.entryId)) messageId = MessageIdOf(*message);
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (into) {
      const bool known = !messageId.empty() && idCounts_.count(HashId(messageId)) > 0;
      if (folder_ == spamId.bytes()) AddKnown(HashOf(n.entryId), messageId);
      if (known) return;
    } else {
      RemoveKnown(HashOf(n.oldId));
    }
  }
  // Without a Message-ID the host's own moves cannot be told from the user's (much
  // spam has none): such a move teaches nothing rather than the same thing twice.
  if (messageId.empty() || own_.IsOwn(messageId, n.parentId)) return;
  Report(UserMove{n.parentId, {n.entryId}, into});
}

void MoveDetector::OnCreatedElsewhere(mapi::Session& session, const mapi::Notification& n) {
  if (n.objectType != mapi::MAPI_MESSAGE) return;
  if (SameFolder(session, n.parentId, SpamFolderId())) {
    Wake();
    return;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (idCounts_.empty()) return;  // nothing in the spam folder it could have come from
  }
  if (auto message = OpenMessage(session, n.entryId)) {
    ArrivedFromSpam(session, *message, n.parentId, n.entryId);
  }
}

void MoveDetector::ReportReturn(const mapi::EntryId& folder, const mapi::EntryId& entry,
                                const std::string& messageId) {
  if (!own_.IsOwn(messageId, folder)) Report(UserMove{folder, {entry}, false});
}

bool MoveDetector::ArrivedFromSpam(mapi::Session& session, mapi::Message& message,
                                   const mapi::EntryId& folder, const mapi::EntryId& entry) {
  const std::string messageId = MessageIdOf(message);
  if (messageId.empty()) return false;
  const IdHash idHash = HashId(messageId);
  auto known = [&] {
    std::lock_guard<std::mutex> lock(mutex_);
    return idCounts_.count(idHash) > 0;
  };
  // Unknown to the last scan but put into the spam folder by the host since (the
  // folder may even have been made for it): look again before taking it for new mail.
  // Only then, so that a burst of new mail does not list the spam folder each time.
  if (!known()) {
    if (!own_.IsOwn(messageId, SpamFolderId())) return false;
    if (!ScanSpamFolder(session) || !known()) return false;
  }
  // The record keeps no entry ids to open: the spam folder's are read for those known
  // with this very Message-ID; the others known with it have left.
  std::vector<std::pair<IdHash, mapi::EntryId>> there;
  const bool listed = ForEachEntry(session, SpamFolderId(), [&](const mapi::EntryId& id) {
    const IdHash hash = HashOf(id);
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = entries_.find(hash);
    if (it != entries_.end() && IdOf(it->second) == messageId) there.emplace_back(hash, id);
  });
  if (!listed) return false;
  std::vector<IdHash> gone;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& [hash, k] : entries_) {
      const bool listedThere = std::any_of(
          there.begin(), there.end(), [hash = hash](const auto& t) { return t.first == hash; });
      if (!listedThere && IdOf(k) == messageId) gone.push_back(hash);
    }
  }
  std::string trace;
  bool traceRead = false;
  bool moved = !gone.empty();  // left the spam folder: this is where it went
  std::vector<IdHash> kept;
  for (const auto& [hash, id] : there) {
    auto original = OpenMessage(session, id);
    if (!original) {  // gone since the listing
      gone.push_back(hash);
      moved = true;
      continue;
    }
    if (!traceRead) {
      trace = TraceOf(message);
      traceRead = true;
    }
    // A copy whose original is not deleted yet. Without any delivery fields the two
    // cannot be told from one message delivered twice, which is judged.
    if (!trace.empty() && TraceOf(*original) == trace) {
      moved = true;
      kept.push_back(hash);
    }
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const IdHash hash : gone) RemoveKnown(hash);
    // Its original's deletion later is not another move.
    for (const IdHash hash : kept) toldOut_.insert(hash);
  }
  if (!moved) return false;
  if (!own_.IsOwn(messageId, folder)) Report(UserMove{folder, {entry}, false});
  return true;
}

void MoveDetector::StartScanning(std::function<std::shared_ptr<mapi::Session>()> obtainSession,
                                 std::uint32_t intervalMs) {
  std::lock_guard<std::mutex> start(threadMutex_);
  if (thread_.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = false;
    wake_ = true;  // the first scan learns what is there at once
  }
  thread_ = std::thread([this, obtainSession = std::move(obtainSession), intervalMs] {
    for (;;) {
      {
        std::unique_lock<std::mutex> lock(mutex_);
        wakeChanged_.wait_for(lock, std::chrono::milliseconds(intervalMs),
                              [this] { return wake_ || stop_; });
        if (stop_) return;
        wake_ = false;
      }
      if (auto session = obtainSession()) ScanSpamFolder(*session);
    }
  });
}

void MoveDetector::StopScanning() {
  std::lock_guard<std::mutex> start(threadMutex_);
  if (!thread_.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  wakeChanged_.notify_all();
  thread_.join();
}

void MoveDetector::Wake() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    wake_ = true;
  }
  wakeChanged_.notify_all();
}

std::uint64_t MoveDetector::scans() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return scans_;
}

std::size_t MoveDetector::knownCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return entries_.size();
}

}  // namespace quorvel::outlook
