#include "outlook/wizard_scan.h"

#include "core/property_text.h"
#include "lists/contact_limit.h"
#include "mapi/queries.h"
#include "mapi/tags.h"
#include "outlook/white_list_walk.h"
#include "platform/code_page.h"

namespace quorvel::outlook {
namespace {

// A clock the row budget never asks: it has no time limit.
class NoClock final : public platform::Clock {
 public:
  platform::FileTime Now() const override { return 0; }
  std::uint32_t TickCount() const override { return 0; }
};

// The subject without its reply and forward prefixes ("Re: ", "Fwd: ", "AW: " ...: one
// to three characters and a colon, then a blank), for stores that do not keep
// PR_NORMALIZED_SUBJECT themselves.
std::string WithoutPrefixes(std::string subject) {
  for (;;) {
    const std::size_t colon = subject.find(':');
    if (colon == 0 || colon > 3 || colon + 1 >= subject.size() || subject[colon + 1] != ' ') {
      return subject;
    }
    if (subject.find(' ') < colon) return subject;
    subject.erase(0, colon + 2);
  }
}

// The normalized subject: the store's, else the subject made so.
mapi::Result<std::string> NormalizedSubject(mapi::MapiProp* message) {
  auto normalized = ReadStringProperty(message, mapi::PR_NORMALIZED_SUBJECT, false);
  if (normalized.ok()) return normalized;
  auto subject = ReadStringProperty(message, mapi::PR_SUBJECT, false);
  if (!subject.ok()) return subject;
  return mapi::Ok(WithoutPrefixes(std::move(*subject)));
}

// One folder; a failing call ends it.
void ScanFolder(mapi::Session& session, const mapi::EntryId& id, MailbaseStore& store,
                CContactLimit& budget, ScanCounters& counters, const std::function<bool()>& closed,
                const std::function<void(std::uint32_t)>& progress, std::uint32_t sliceStart,
                std::uint32_t sliceEnd) {
  auto opened = session.OpenEntry(id, mapi::MAPI_BEST_ACCESS);
  if (!opened.ok() || opened->objectType != mapi::MAPI_FOLDER) return;
  auto folder = opened->As<mapi::Folder>();
  if (!folder) return;
  auto contents = folder->GetContentsTable(0);
  if (!contents.ok()) return;
  auto count = (*contents)->GetRowCount(0);
  const std::uint64_t total = count.ok() ? *count : 0;
  const mapi::PropTag columns[] = {mapi::PR_ENTRYID, mapi::PR_OBJECT_TYPE};
  if (mapi::Failed((*contents)->SetColumns(columns, 0))) return;
  std::uint64_t done = 0;
  for (;;) {
    auto rows = (*contents)->QueryRows(kWalkBatch, 0);
    if (!rows.ok() || rows->empty()) return;
    for (const mapi::Row& row : *rows) {
      budget.Step();
      ++done;
      if (progress && total > 0) {
        progress(sliceStart + static_cast<std::uint32_t>((sliceEnd - sliceStart) *
                                                         std::min(done, total) / total));
      }
      const mapi::PropValue* type = mapi::FindProp(row, mapi::PR_OBJECT_TYPE);
      if (type && type->AsLong() &&
          static_cast<std::uint32_t>(*type->AsLong()) != mapi::MAPI_MESSAGE) {
        continue;
      }
      if (closed && closed()) throw WizardClosed{};
      auto message =
          session.OpenEntry(mapi::GetEntryId(row, mapi::PR_ENTRYID), mapi::MAPI_BEST_ACCESS);
      if (!message.ok()) return;
      if (message->objectType != mapi::MAPI_MESSAGE || !message->object) continue;
      ++counters.processed;
      auto subject = NormalizedSubject(message->object.get());
      auto body = ReadStringProperty(message->object.get(), mapi::PR_BODY, true);
      if (subject.ok() && body.ok()) {
        store.LearnScan(platform::AnsiToWide(*subject), platform::AnsiToWide(*body));
        ++counters.learned;
      } else {
        ++counters.unreadable;
      }
    }
  }
}

}  // namespace

ScanCounters ScanFolders(mapi::Session& session, const std::vector<mapi::EntryId>& folders,
                         MailbaseStore& store, const std::function<bool()>& closed,
                         const std::function<void(std::uint32_t position)>& progress) {
  ScanCounters counters;
  NoClock noClock;
  CContactLimit budget(kScanRows, CContactLimit::kNoTimeLimit, noClock);
  const auto n = static_cast<std::uint32_t>(folders.size());
  try {
    for (std::uint32_t k = 0; k < n; ++k) {
      ScanFolder(session, folders[k], store, budget, counters, closed, progress, kScanRange * k / n,
                 kScanRange * (k + 1) / n);
      if (progress) progress(kScanRange * (k + 1) / n);
    }
  } catch (const CContactLimit&) {
    counters.budgetSpent = true;
  }
  return counters;
}

}  // namespace quorvel::outlook
