#include "mapi/maildir/maildir_contents.h"

#include <algorithm>
#include <unordered_set>
#include <utility>

#include "mapi/maildir/props_file.h"
#include "mapi/restriction.h"

namespace quorvel::mapi {
namespace {

// What a row has without its file being read (MaildirCore::IdentityOf).
bool IsIdentity(PropTag tag) {
  static constexpr PropTag kIdentity[] = {PR_ENTRYID,        PR_RECORD_KEY,    PR_INSTANCE_KEY,
                                          PR_PARENT_ENTRYID, PR_STORE_ENTRYID, PR_OBJECT_TYPE};
  return std::any_of(std::begin(kIdentity), std::end(kIdentity),
                     [tag](PropTag t) { return PROP_ID(t) == PROP_ID(tag); });
}

// The bits of PR_MESSAGE_FLAGS a message's file name alone decides (maildir_names.h).
constexpr std::uint32_t kNameFlags = MSGFLAG_READ | MSGFLAG_UNSENT;

// Whether the restriction tests nothing but bits of PR_MESSAGE_FLAGS the file names
// decide (as a scan for unread mail does), so that no file needs reading to apply it.
bool DecidedByName(const Restriction& restriction) {
  switch (restriction.kind) {
    case Restriction::Kind::kAnd:
    case Restriction::Kind::kOr:
    case Restriction::Kind::kNot:
      return std::all_of(restriction.children.begin(), restriction.children.end(), DecidedByName);
    case Restriction::Kind::kBitmask:
      // MSGFLAG_ASSOCIATED is never set on a message of a Maildir folder.
      return PROP_ID(restriction.tag) == PROP_ID(PR_MESSAGE_FLAGS) &&
             (restriction.mask & ~(kNameFlags | MSGFLAG_ASSOCIATED)) == 0;
    default:
      return false;
  }
}

}  // namespace

const std::vector<PropTag>& MaildirContentsTable::DefaultColumns() {
  static const std::vector<PropTag> columns = {PR_ENTRYID, PR_SUBJECT, PR_SENDER_NAME,
                                               PR_MESSAGE_FLAGS, PR_MESSAGE_DELIVERY_TIME};
  return columns;
}

MaildirContentsTable::MaildirContentsTable(std::shared_ptr<MaildirCore> core,
                                           std::string folderPath)
    : core_(std::move(core)), folderPath_(std::move(folderPath)), columns_(DefaultColumns()) {}

bool MaildirContentsTable::IdentityOnly() const {
  return std::all_of(columns_.begin(), columns_.end(), IsIdentity);
}

const MessageLocation* MaildirContentsTable::Next(Cursor& cursor) {
  if (cursor.next == cursor.batch.size()) {
    // Listed again even after a short batch: what arrived since, after the last row
    // given, is read too; the table ends at a listing that finds nothing more.
    cursor.batch = core_->ListMessagesAfter(folderPath_, cursor.after, kListBatch);
    cursor.next = 0;
    if (cursor.batch.empty()) return nullptr;
  }
  const MessageLocation& at = cursor.batch[cursor.next++];
  cursor.after = at.name.unique;
  return &at;
}

std::shared_ptr<const FolderNames> MaildirContentsTable::ListAll(std::size_t* given) {
  // One pass that keeps every name: a listing in batches would read the folder once
  // per batch, which a page from the end of a large folder pays on every request.
  std::shared_ptr<const FolderNames> all = core_->ListFolderNames(folderPath_);
  *given = cursor_.after.empty() ? 0 : all->CountUpTo(cursor_.after);
  return all;
}

const std::unordered_set<std::string>& MaildirContentsTable::WithProps() {
  if (!withProps_) withProps_ = UniquesWithProps(core_->files(), core_->root());
  return *withProps_;
}

std::optional<Row> MaildirContentsTable::RowAt(const MessageLocation& at, bool identityOnly) {
  std::vector<PropValue> props;
  if (identityOnly) {
    props = core_->IdentityOf(folderPath_, at.name.unique);
  } else {
    auto whole = core_->SummaryRow(at, WithProps().count(at.name.unique) > 0);
    if (!whole) return std::nullopt;  // a file that vanished is skipped
    props = std::move(*whole);
  }
  Row row;
  row.reserve(columns_.size());
  for (PropTag column : columns_) row.push_back(ValueForTag(FindPropId(props, column), column));
  return row;
}

RowTable& MaildirContentsTable::Snapshot() {
  if (!snapshot_) {
    // The rows already given are read again, so that a seek back finds them; the
    // snapshot then goes on after the last of them.
    std::size_t given = position_;
    std::shared_ptr<const FolderNames> all = std::exchange(listed_, nullptr);
    if (!all) all = ListAll(&given);
    std::vector<std::vector<PropValue>> rows;
    std::int32_t before = 0;
    for (std::size_t i = 0; i < all->size(); ++i) {
      const MessageLocation at = core_->LocationIn(folderPath_, *all, i);
      auto row = core_->SummaryRow(at, WithProps().count(at.name.unique) > 0);
      if (!row) continue;  // a file that vanished is skipped
      rows.push_back(std::move(*row));
      if (i < given) ++before;
    }
    snapshot_ = std::make_unique<RowTable>(std::move(rows), DefaultColumns());
    snapshot_->SetColumns(columns_, 0);
    if (before > 0) snapshot_->SeekRow(BOOKMARK_BEGINNING, before);
    cursor_ = Cursor{};
  }
  return *snapshot_;
}

HRESULT MaildirContentsTable::SetColumns(std::span<const PropTag> columns, std::uint32_t flags) {
  if (snapshot_) return snapshot_->SetColumns(columns, flags);
  if (columns.empty()) return MAPI_E_INVALID_PARAMETER;
  columns_.assign(columns.begin(), columns.end());
  return S_OK;
}

HRESULT MaildirContentsTable::Restrict(const std::optional<Restriction>& restriction,
                                       std::uint32_t flags) {
  if (snapshot_) return snapshot_->Restrict(restriction, flags);
  // A restriction replaces the one before: the rows are the folder's again, from the
  // first on.
  cursor_ = Cursor{};
  listed_.reset();
  position_ = 0;
  countedAtStart_ = false;
  if (!restriction) return S_OK;
  if (DecidedByName(*restriction)) {
    std::shared_ptr<const FolderNames> all = core_->ListFolderNames(folderPath_);
    auto matches = [&](std::size_t i) {
      auto name = ParseMessageFileName(all->FileName(i));
      const PropValue value = PropValue::ULong(
          PR_MESSAGE_FLAGS, name ? MessageFlagsOf(*name) & kNameFlags : std::uint32_t{0});
      return Matches(*restriction, [&](PropTag tag) {
        return PROP_ID(tag) == PROP_ID(PR_MESSAGE_FLAGS) ? &value : nullptr;
      });
    };
    listed_ = std::make_shared<const FolderNames>(all->Filtered(matches));
    return S_OK;
  }
  return Snapshot().Restrict(restriction, flags);
}

Result<std::int32_t> MaildirContentsTable::SeekRow(Bookmark origin, std::int32_t rowCount) {
  if (snapshot_) return snapshot_->SeekRow(origin, rowCount);
  if (origin != BOOKMARK_BEGINNING && origin != BOOKMARK_CURRENT && origin != BOOKMARK_END) {
    return MAPI_E_INVALID_PARAMETER;
  }
  // Back to the first row (as every read of a whole table starts) needs no positions.
  if ((!listed_ || countedAtStart_) && origin == BOOKMARK_BEGINNING && rowCount == 0) {
    cursor_ = Cursor{};
    position_ = 0;
    return Ok(std::int32_t{0});
  }
  if (!listed_) {
    listed_ = ListAll(&position_);
    cursor_ = Cursor{};
  }
  countedAtStart_ = false;  // a table that seeks keeps its listing
  // The rows are the listing's: a seek moves over them unread.
  const auto size = static_cast<std::int64_t>(listed_->size());
  std::int64_t base = 0;
  if (origin == BOOKMARK_CURRENT) base = static_cast<std::int64_t>(position_);
  if (origin == BOOKMARK_END) base = size;
  const std::int64_t target = std::clamp<std::int64_t>(base + rowCount, 0, size);
  position_ = static_cast<std::size_t>(target);
  return Ok(static_cast<std::int32_t>(target - base));
}

Result<RowSet> MaildirContentsTable::QueryRows(std::int32_t rowCount, std::uint32_t flags) {
  if (snapshot_) return snapshot_->QueryRows(rowCount, flags);
  if (rowCount <= 0) return MAPI_E_INVALID_PARAMETER;
  const bool identityOnly = IdentityOnly();
  const auto wanted = static_cast<std::size_t>(rowCount);
  RowSet rows;
  Cursor peek;
  if (listed_) {
    const std::size_t end =
        countedAtStart_ ? std::min(listed_->size(), kListBatch) : listed_->size();
    std::size_t i = position_;
    for (; i < end && rows.size() < wanted; ++i) {
      const MessageLocation at = core_->LocationIn(folderPath_, *listed_, i);
      // Known to the index, as a batch's rows are: whoever opens the row's message
      // finds its file without a pass over the folder.
      core_->Remember(at);
      if (auto row = RowAt(at, identityOnly)) rows.push_back(std::move(*row));
    }
    if (!countedAtStart_ || rows.size() == wanted) {
      if ((flags & TBL_NOADVANCE) == 0) position_ = i;
      return Ok(std::move(rows));
    }
    // The count's listing has given its first batch: on in batches after its last row
    // given, which reads what arrived since too.
    peek = Cursor{i == 0 ? std::string() : std::string(listed_->Unique(i - 1)), {}, 0};
    if ((flags & TBL_NOADVANCE) == 0) {
      cursor_ = peek;
      listed_.reset();
      position_ = 0;
      countedAtStart_ = false;
    }
  } else if ((flags & TBL_NOADVANCE) != 0) {
    peek = cursor_;
  }
  // Without advancing, the rows are read on a copy of the cursor.
  Cursor& cursor = (flags & TBL_NOADVANCE) != 0 ? peek : cursor_;
  while (rows.size() < wanted) {
    const MessageLocation* at = Next(cursor);
    if (at == nullptr) break;
    if (auto row = RowAt(*at, identityOnly)) rows.push_back(std::move(*row));
  }
  return Ok(std::move(rows));
}

Result<std::uint32_t> MaildirContentsTable::GetRowCount(std::uint32_t flags) {
  if (snapshot_) return snapshot_->GetRowCount(flags);
  // A table that seeks (or is restricted) has the rows of its listing; one read in
  // order has the folder's as it is now, counted from a listing some table holds when
  // the folder has not changed since.
  if (listed_) return Ok(static_cast<std::uint32_t>(listed_->size()));
  std::shared_ptr<const FolderNames> all = core_->ListFolderNames(folderPath_);
  const auto count = static_cast<std::uint32_t>(all->size());
  if (cursor_.after.empty() && cursor_.batch.empty()) {
    // Before the first row: the rows to come are read from this listing at first.
    listed_ = std::move(all);
    position_ = 0;
    countedAtStart_ = true;
  }
  return Ok(count);
}

}  // namespace quorvel::mapi
