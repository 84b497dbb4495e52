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
  return Snapshot().SeekRow(origin, rowCount);
}

Result<RowSet> MaildirContentsTable::QueryRows(std::int32_t rowCount, std::uint32_t flags) {
  if (snapshot_ || !IdentityOnly()) return Snapshot().QueryRows(rowCount, flags);
  if (rowCount <= 0) return MAPI_E_INVALID_PARAMETER;
  RowSet rows;
  const std::size_t end = std::min(messages_.size(), cursor_ + static_cast<std::size_t>(rowCount));
  for (std::size_t i = cursor_; i < end; ++i) {
    const std::vector<PropValue> identity =
        core_->IdentityOf(messages_[i].folderPath, messages_[i].name.unique);
    Row row;
    row.reserve(columns_.size());
    for (PropTag column : columns_)
      row.push_back(ValueForTag(FindPropId(identity, column), column));
    rows.push_back(std::move(row));
  }
  if ((flags & TBL_NOADVANCE) == 0) cursor_ = end;
  return Ok(std::move(rows));
}

Result<std::uint32_t> MaildirContentsTable::GetRowCount(std::uint32_t flags) {
  if (snapshot_) return snapshot_->GetRowCount(flags);
  return Ok(static_cast<std::uint32_t>(messages_.size()));
}

}  // namespace quorvel::mapi
