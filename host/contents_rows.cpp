#include "host/contents_rows.h"

#include <limits>

namespace quorvel::host {

HRESULT ForEachContentsRow(MAPIFolder& folder, std::span<const mapi::PropTag> columns,
                           std::uint32_t skip, const std::function<bool(const mapi::Row&)>& each,
                           std::uint32_t* total, std::shared_ptr<mapi::Table>* kept) {
  auto opened = folder.MAPIOBJECT();
  if (!opened.ok()) return opened.hr;
  auto table = (*opened)->GetContentsTable(0);
  if (!table.ok()) return table.hr;
  if (kept != nullptr) *kept = *table;
  if (HRESULT hr = (*table)->SetColumns(columns, 0); mapi::Failed(hr)) return hr;
  // The seek before the count: a store that lists its folder for the seek counts
  // that listing's rows instead of listing again.
  if (skip > 0) {
    const auto rows = static_cast<std::int32_t>(
        std::min<std::uint32_t>(skip, std::numeric_limits<std::int32_t>::max()));
    auto moved = (*table)->SeekRow(mapi::BOOKMARK_BEGINNING, rows);
    if (!moved.ok()) return moved.hr;
  }
  if (total != nullptr) {
    auto count = (*table)->GetRowCount(0);
    if (!count.ok()) return count.hr;
    *total = *count;
  }
  for (;;) {
    auto rows = (*table)->QueryRows(kContentsBatch, 0);
    if (!rows.ok()) return rows.hr;
    if (rows->empty()) return mapi::S_OK;
    for (const mapi::Row& row : *rows) {
      if (!each(row)) return mapi::S_OK;
    }
  }
}

}  // namespace quorvel::host
