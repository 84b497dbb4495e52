#include "mapi/maildir/maildir_contents.h"

#include <algorithm>

namespace quorvel::mapi {
namespace {

// What a row has without its file being read (MaildirCore::IdentityOf).
bool IsIdentity(PropTag tag) {
  static constexpr PropTag kIdentity[] = {PR_ENTRYID,        PR_RECORD_KEY,    PR_INSTANCE_KEY,
                                          PR_PARENT_ENTRYID, PR_STORE_ENTRYID, PR_OBJECT_TYPE};
  return std::any_of(std::begin(kIdentity), std::end(kIdentity),
                     [tag](PropTag t) { return PROP_ID(t) == PROP_ID(tag); });
}

}  // namespace

const std::vector<PropTag>& MaildirContentsTable::DefaultColumns() {
  static const std::vector<PropTag> columns = {PR_ENTRYID, PR_SUBJECT, PR_SENDER_NAME,
                                               PR_MESSAGE_FLAGS, PR_MESSAGE_DELIVERY_TIME};
  return columns;
}

MaildirContentsTable::MaildirContentsTable(std::shared_ptr<MaildirCore> core,
                                           std::vector<MessageLocation> messages,
                                           std::unordered_set<std::string> withProps)
    : core_(std::move(core)),
      messages_(std::move(messages)),
      withProps_(std::move(withProps)),
      columns_(DefaultColumns()) {}

bool MaildirContentsTable::IdentityOnly() const {
  return std::all_of(columns_.begin(), columns_.end(), IsIdentity);
}

RowTable& MaildirContentsTable::Snapshot() {
  if (!snapshot_) {
    std::vector<std::vector<PropValue>> rows;
    for (const MessageLocation& at : messages_) {
      auto row = core_->SummaryRow(at, withProps_.count(at.name.unique) > 0);
      if (row) rows.push_back(std::move(*row));  // a file that vanished is skipped
    }
    snapshot_ = std::make_unique<RowTable>(std::move(rows), DefaultColumns());
    snapshot_->SetColumns(columns_, 0);
    if (cursor_ > 0) snapshot_->SeekRow(BOOKMARK_BEGINNING, static_cast<std::int32_t>(cursor_));
    messages_.clear();
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
  if (!snapshot_ && !restriction) {
    cursor_ = 0;
    return S_OK;
  }
  return Snapshot().Restrict(restriction, flags);
}

Result<std::int32_t> MaildirContentsTable::SeekRow(Bookmark origin, std::int32_t rowCount) {
  if (snapshot_) return snapshot_->SeekRow(origin, rowCount);
  // Unrestricted, the rows are the listing's: a seek moves over them unread.
  std::int64_t base = 0;
  if (origin == BOOKMARK_CURRENT)
    base = static_cast<std::int64_t>(cursor_);
  else if (origin == BOOKMARK_END)
    base = static_cast<std::int64_t>(messages_.size());
  else if (origin != BOOKMARK_BEGINNING)
    return MAPI_E_INVALID_PARAMETER;
  const std::int64_t target =
      std::clamp<std::int64_t>(base + rowCount, 0, static_cast<std::int64_t>(messages_.size()));
  cursor_ = static_cast<std::size_t>(target);
  return Ok(static_cast<std::int32_t>(target - base));
}

Result<RowSet> MaildirContentsTable::QueryRows(std::int32_t rowCount, std::uint32_t flags) {
  if (snapshot_) return snapshot_->QueryRows(rowCount, flags);
  if (rowCount <= 0) return MAPI_E_INVALID_PARAMETER;
  const bool identityOnly = IdentityOnly();
  RowSet rows;
  std::size_t i = cursor_;
  for (; i < messages_.size() && rows.size() < static_cast<std::size_t>(rowCount); ++i) {
    const MessageLocation& at = messages_[i];
    std::vector<PropValue> props;
    if (identityOnly) {
      props = core_->IdentityOf(at.folderPath, at.name.unique);
    } else {
      auto whole = core_->SummaryRow(at, withProps_.count(at.name.unique) > 0);
      if (!whole) continue;  // a file that vanished is skipped
      props = std::move(*whole);
    }
    Row row;
    row.reserve(columns_.size());
    for (PropTag column : columns_) row.push_back(ValueForTag(FindPropId(props, column), column));
    rows.push_back(std::move(row));
  }
  if ((flags & TBL_NOADVANCE) == 0) cursor_ = i;
  return Ok(std::move(rows));
}

Result<std::uint32_t> MaildirContentsTable::GetRowCount(std::uint32_t flags) {
  if (snapshot_) return snapshot_->GetRowCount(flags);
  return Ok(static_cast<std::uint32_t>(messages_.size()));
}

}  // namespace quorvel::mapi
