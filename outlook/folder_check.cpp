#include "outlook/folder_check.h"

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "crash/reporter.h"
#include "mapi/queries.h"
#include "outlook/spam_folder.h"
#include "platform/string_table.h"
#include "ui/check_folder_dialog.h"

namespace quorvel::outlook {
namespace {

using mapi::EntryId;

constexpr unsigned kStringSpamFolderMoved = 559;
constexpr std::int32_t kBatch = 128;
// The spam found is moved when this many are noted, and at the end of the folder: one
// move for an ordinary folder, and for a large one the ids held stay few (a Maildir
// store finds a batch of this size in one pass over the folder).
constexpr std::size_t kMoveBatch = 1000;
constexpr double kUnitsPerSubfolder = 8.0;

bool SameFolder(mapi::Session& session, const EntryId& a, const EntryId& b) {
  if (!a.present() || !b.present()) return false;
  if (a == b) return true;
  auto same = session.CompareEntryIDs(a, b, 0);
  return same.ok() && *same;
}

// A table of `container` with the entry id as its one column, and its row count;
// null when it cannot be read (the folder went away).
template <typename Open>
std::shared_ptr<mapi::Table> IdTable(Open open, std::uint32_t* rows) {
  *rows = 0;
  auto table = open();
  if (!table.ok() || !*table) return nullptr;
  const mapi::PropTag columns[] = {mapi::PR_ENTRYID};
  if (mapi::Failed((*table)->SetColumns(columns, 0))) return nullptr;
  auto count = (*table)->GetRowCount(0);
  *rows = count.ok() ? *count : 0;
  return *table;
}

// Moves the spam noted into the spam folder (a move, never a copy and a delete) and
// counts what went; a move that fails leaves the messages where they are.
struct Noted {
  std::vector<EntryId> ids;
  std::vector<std::string> messageIds;  // what the own moves are told
};

void MoveNoted(const CheckTarget& target, mapi::Folder& folder, Noted& noted, CheckTally& tally) {
  if (!noted.ids.empty()) {
    if (target.ownMoves != nullptr) {
      for (const std::string& id : noted.messageIds) target.ownMoves->Note(id, target.spamFolderId);
    }
    if (folder.CopyMessages(noted.ids, *target.spamFolder, mapi::MESSAGE_MOVE) == mapi::S_OK) {
      tally.moved += static_cast<std::uint32_t>(noted.ids.size());
    }
  }
  noted = Noted{};
}

// Judges one message; false when it cannot be opened or read (gone meanwhile).
// *messageId is its Message-ID when it is spam.
bool JudgeOne(const CheckTarget& target, const EntryId& id, bool* spam, std::string* messageId) {
  auto opened = target.session.OpenEntry(id, mapi::MAPI_BEST_ACCESS);
  if (!opened.ok() || opened->objectType != mapi::MAPI_MESSAGE) return false;
  auto message = opened->As<mapi::Message>();
  // A store may open a message by its id alone and read it later: read it now, so that
  // one that vanished is passed over instead of judged as an empty message.
  if (!message || !message->GetPropList(0).ok()) return false;
  *spam = target.judge.IsSpam(message, kStandardFlags, nullptr);
  if (*spam) {
    auto value = mapi::HrGetOneProp(*message, mapi::PR_INTERNET_MESSAGE_ID);
    const std::string* text = value.ok() ? value->AsString8() : nullptr;
    *messageId = text != nullptr ? *text : std::string();
  }
  return true;
}

}  // namespace

bool CheckFolderTree(const CheckTarget& target, CheckProgress& progress, mapi::Folder& folder,
                     const EntryId& folderId, bool includeSubfolders) {
  if (SameFolder(target.session, folderId, target.spamFolderId)) return true;
  std::uint32_t messages = 0;
  std::uint32_t subfolders = 0;
  auto contents = IdTable([&] { return folder.GetContentsTable(0); }, &messages);
  std::shared_ptr<mapi::Table> hierarchy;
  if (includeSubfolders)
    hierarchy = IdTable([&] { return folder.GetHierarchyTable(0); }, &subfolders);

  const double start = progress.position;
  const double width = progress.width;
  const double units = messages + kUnitsPerSubfolder * subfolders;
  const double unit = units > 0 ? width / units : 0.0;

  Noted noted;
  std::uint32_t counted = 0;
  while (contents) {
    auto rows = contents->QueryRows(kBatch, 0);
    if (!rows.ok() || rows->empty()) break;
    for (const mapi::Row& row : *rows) {
      EntryId id = mapi::GetEntryId(row, mapi::PR_ENTRYID);
      bool spam = false;
      std::string messageId;
      if (id.present() && JudgeOne(target, id, &spam, &messageId)) {
        ++progress.tally.checked;
        if (spam) {
          ++progress.tally.spam;
          if (target.spamFolder) {
            noted.ids.push_back(std::move(id));
            if (!messageId.empty()) noted.messageIds.push_back(std::move(messageId));
          }
          if (noted.ids.size() >= kMoveBatch) MoveNoted(target, folder, noted, progress.tally);
        }
      }
      if (counted < messages) progress.position = start + unit * ++counted;
      if (!progress.report(progress.position, progress.tally)) return false;
    }
  }
  MoveNoted(target, folder, noted, progress.tally);

  std::uint32_t done = 0;
  while (hierarchy) {
    auto rows = hierarchy->QueryRows(kBatch, 0);
    if (!rows.ok() || rows->empty()) break;
    for (const mapi::Row& row : *rows) {
      const EntryId id = mapi::GetEntryId(row, mapi::PR_ENTRYID);
      auto opened = target.session.OpenEntry(id, mapi::MAPI_BEST_ACCESS);
      auto child = opened.ok() && opened->objectType == mapi::MAPI_FOLDER
                       ? opened->As<mapi::Folder>()
                       : nullptr;
      if (done < subfolders) {
        progress.position = start + unit * (messages + kUnitsPerSubfolder * done++);
        progress.width = unit * kUnitsPerSubfolder;
      }
      if (child && !CheckFolderTree(target, progress, *child, id, true)) return false;
      progress.position = start + unit * (messages + kUnitsPerSubfolder * done);
      progress.width = width;
    }
  }
  progress.position = start + width;
  progress.width = width;
  return true;
}

CheckOutcome FolderChecker::Run(ui::Ui& ui, std::shared_ptr<mapi::Session> session,
                                const EntryId& folderId, bool includeSubfolders) {
  if (running_.exchange(true)) {
    ui.Show(kCheckRunning, std::string(platform::kProductName),
            platform::MB_OK | platform::MB_ICONINFORMATION);
    return {CheckEnd::kBusy, {}};
  }
  struct Release {
    std::atomic<bool>& flag;
    ~Release() { flag = false; }
  } release{running_};

  // The spam folder is made when first needed: a check before any spam arrived finds
  // none made yet and makes it. A stored one that is gone is the user's to choose again.
  if (session && !StoredSpamFolderId(settings_).present()) CheckSpamFolder(*session, settings_);
  const EntryId spamId = StoredSpamFolderId(settings_);
  std::shared_ptr<mapi::Folder> spamFolder;
  if (session && spamId.present()) {
    auto opened = session->OpenEntry(spamId, mapi::MAPI_BEST_ACCESS);
    if (opened.ok() && opened->objectType == mapi::MAPI_FOLDER) {
      spamFolder = opened->As<mapi::Folder>();
    }
  }
  if (!spamFolder) {
    ui.Show(std::string(platform::LoadString(kStringSpamFolderMoved)),
            std::string(platform::kProductName), platform::MB_OK | platform::MB_ICONWARNING);
    return {CheckEnd::kNoSpamFolder, {}};
  }

  const std::unique_ptr<ui::Progress> progress = ui.BeginProgress(ui::kCheckingTitle);
  // Written by the check's thread, read here on each refresh.
  std::atomic<double> position{0.0};
  std::atomic<std::uint32_t> checked{0};
  std::atomic<std::uint32_t> spam{0};
  std::atomic<bool> cancel{false};
  std::mutex mutex;  // guards ended, result and finished
  std::condition_variable wake;
  bool ended = false;
  bool finished = false;
  CheckTally result;

  auto work = [&] {
    crash::OwnCodeScope ownCode;
    const CheckTarget target{*session, judge_, spamFolder, spamId, ownMoves_};
    CheckProgress walk;
    walk.report = [&](double at, const CheckTally& tally) {
      position.store(at);
      checked.store(tally.checked);
      spam.store(tally.spam);
      return !cancel.load() && !progress->Cancelled();
    };
    bool completed = true;
    auto opened = session->OpenEntry(folderId, mapi::MAPI_BEST_ACCESS);
    if (opened.ok() && opened->objectType == mapi::MAPI_FOLDER) {
      if (auto folder = opened->As<mapi::Folder>()) {
        completed = CheckFolderTree(target, walk, *folder, folderId, includeSubfolders);
      }
    }
    std::lock_guard lock(mutex);
    result = walk.tally;
    finished = completed;
    ended = true;
    wake.notify_all();
  };

  std::thread thread;
  try {
    thread = std::thread(work);
  } catch (const std::system_error&) {
    return {CheckEnd::kNoThread, {}};
  }
  const auto started = std::chrono::steady_clock::now();
  const auto show = [&] {
    const auto done = static_cast<std::uint64_t>(
        std::llround(position.load() * static_cast<double>(ui::kCheckProgressRange)));
    progress->Update(std::min(done, ui::kCheckProgressRange), ui::kCheckProgressRange,
                     ui::CheckProgressText(checked.load(), spam.load(),
                                           std::chrono::steady_clock::now() - started));
  };
  {
    std::unique_lock lock(mutex);
    while (!ended) {
      wake.wait_for(lock, ui::kCheckProgressRefresh, [&] { return ended; });
      if (ended) break;
      if (progress->Cancelled()) cancel = true;
      lock.unlock();
      show();
      lock.lock();
    }
  }
  thread.join();
  show();
  return {finished ? CheckEnd::kFinished : CheckEnd::kCancelled, result};
}

}  // namespace quorvel::outlook
