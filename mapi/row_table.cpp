#include "mapi/row_table.h"

#include <algorithm>
#include <utility>

namespace quorvel::mapi {

RowTable::RowTable(std::vector<std::vector<PropValue>> rows, std::vector<PropTag> defaultColumns,
                   Hook hook)
    : all_(std::move(rows)), columns_(std::move(defaultColumns)), hook_(std::move(hook)) {
  visible_.resize(all_.size());
  for (std::size_t i = 0; i < all_.size(); ++i) visible_[i] = i;
}

HRESULT RowTable::SetColumns(std::span<const PropTag> columns, std::uint32_t) {
  if (HRESULT hr = Check(Op::kSetColumns); Failed(hr)) return hr;
  if (columns.empty()) return MAPI_E_INVALID_PARAMETER;
  columns_.assign(columns.begin(), columns.end());
  return S_OK;
}

HRESULT RowTable::Restrict(const std::optional<Restriction>& restriction, std::uint32_t) {
  if (HRESULT hr = Check(Op::kRestrict); Failed(hr)) return hr;
  visible_.clear();
  for (std::size_t i = 0; i < all_.size(); ++i) {
    const auto& row = all_[i];
    PropLookup lookup = [&row](PropTag tag) -> const PropValue* {
      const PropValue* stored = FindPropId(row, tag);
      return stored;
    };
    if (!restriction || Matches(*restriction, lookup)) visible_.push_back(i);
  }
  cursor_ = 0;
  return S_OK;
}

Result<std::int32_t> RowTable::SeekRow(Bookmark origin, std::int32_t rowCount) {
  if (HRESULT hr = Check(Op::kSeekRow); Failed(hr)) return hr;
  std::int64_t base = 0;
  if (origin == BOOKMARK_CURRENT)
    base = static_cast<std::int64_t>(cursor_);
  else if (origin == BOOKMARK_END)
    base = static_cast<std::int64_t>(visible_.size());
  else if (origin != BOOKMARK_BEGINNING)
    return MAPI_E_INVALID_PARAMETER;
  std::int64_t target =
      std::clamp<std::int64_t>(base + rowCount, 0, static_cast<std::int64_t>(visible_.size()));
  cursor_ = static_cast<std::size_t>(target);
  return Ok(static_cast<std::int32_t>(target - base));
}

Result<RowSet> RowTable::QueryRows(std::int32_t rowCount, std::uint32_t flags) {
  if (HRESULT hr = Check(Op::kQueryRows); Failed(hr)) return hr;
  if (rowCount <= 0) return MAPI_E_INVALID_PARAMETER;
  RowSet rows;
  std::size_t end = std::min(visible_.size(), cursor_ + static_cast<std::size_t>(rowCount));
  for (std::size_t i = cursor_; i < end; ++i) {
    const auto& full = all_[visible_[i]];
    Row row;
    row.reserve(columns_.size());
    for (PropTag column : columns_) {
      const PropValue* stored = FindPropId(full, column);
      row.push_back(ValueForTag(stored, column));
    }
    rows.push_back(std::move(row));
  }
  if ((flags & TBL_NOADVANCE) == 0) cursor_ = end;
  return Ok(std::move(rows));
}

Result<std::uint32_t> RowTable::GetRowCount(std::uint32_t) {
  if (HRESULT hr = Check(Op::kGetRowCount); Failed(hr)) return hr;
  return Ok(static_cast<std::uint32_t>(visible_.size()));
}

}  // namespace quorvel::mapi
