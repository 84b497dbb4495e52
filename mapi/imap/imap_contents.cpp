#include "mapi/imap/imap_contents.h"

#include <utility>

namespace quorvel::mapi::imap {

std::optional<std::vector<std::string>> MessageIdsSought(const Restriction& restriction) {
  using Kind = Restriction::Kind;
  if (restriction.kind == Kind::kProperty) {
    const std::string* id = restriction.value.AsString8();
    if (restriction.relop != RELOP_EQ || restriction.value.tag != PR_INTERNET_MESSAGE_ID ||
        id == nullptr || id->empty()) {
      return std::nullopt;
    }
    return std::vector<std::string>{*id};
  }
  if (restriction.kind != Kind::kOr || restriction.children.empty()) return std::nullopt;
  std::vector<std::string> ids;
  for (const Restriction& child : restriction.children) {
    auto more = MessageIdsSought(child);
    if (!more) return std::nullopt;
    ids.insert(ids.end(), more->begin(), more->end());
  }
  return ids;
}

ImapContentsTable::ImapContentsTable(std::shared_ptr<ImapCore> core, std::string mailbox)
    : core_(std::move(core)),
      mailbox_(std::move(mailbox)),
      columns_{PR_ENTRYID, PR_SUBJECT, PR_SENDER_NAME, PR_MESSAGE_FLAGS, PR_MESSAGE_DELIVERY_TIME} {
}

HRESULT ImapContentsTable::Load(const std::vector<std::string>* messageIds) {
  if (rows_) return S_OK;
  auto rows = core_->ContentsRows(mailbox_, messageIds);
  if (!rows.ok()) return rows.hr;
  rows_ = std::make_unique<RowTable>(std::move(*rows), columns_);
  return S_OK;
}

HRESULT ImapContentsTable::SetColumns(std::span<const PropTag> columns, std::uint32_t flags) {
  if (columns.empty()) return MAPI_E_INVALID_PARAMETER;
  columns_.assign(columns.begin(), columns.end());
  return rows_ ? rows_->SetColumns(columns, flags) : S_OK;
}

HRESULT ImapContentsTable::Restrict(const std::optional<Restriction>& restriction,
                                    std::uint32_t flags) {
  // The search is on a header's text: the restriction still decides, on the rows.
  std::optional<std::vector<std::string>> ids;
  if (!rows_ && restriction) ids = MessageIdsSought(*restriction);
  if (HRESULT hr = Load(ids ? &*ids : nullptr); Failed(hr)) return hr;
  return rows_->Restrict(restriction, flags);
}

Result<std::int32_t> ImapContentsTable::SeekRow(Bookmark origin, std::int32_t rowCount) {
  if (HRESULT hr = Load(); Failed(hr)) return hr;
  return rows_->SeekRow(origin, rowCount);
}

Result<RowSet> ImapContentsTable::QueryRows(std::int32_t rowCount, std::uint32_t flags) {
  if (HRESULT hr = Load(); Failed(hr)) return hr;
  return rows_->QueryRows(rowCount, flags);
}

Result<std::uint32_t> ImapContentsTable::GetRowCount(std::uint32_t flags) {
  if (HRESULT hr = Load(); Failed(hr)) return hr;
  return rows_->GetRowCount(flags);
}

}  // namespace quorvel::mapi::imap
