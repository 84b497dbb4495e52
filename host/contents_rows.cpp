#include "host/contents_rows.h"

#include <limits>

namespace quorvel::host {

HRESULT ForEachContentsRow(MAPIFolder& folder, std::span<const mapi::PropTag> columns,
                           std::uint32_t skip, const std::function<bool(const mapi::Row&)>& each,
                           std::uint32_t* total) {
  auto opened = folder.MAPIOBJECT();
  if (!opened.ok()) return opened.hr;
  auto table = (*opened)->GetContentsTable(0);
  if (!table.ok()) return table.hr;
  if (HRESULT hr = (*table)->SetColumns(columns, 0); mapi::Failed(hr)) return hr;
  if (total != nullptr) {
    auto count = (*table)->GetRowCount(0);
    if (!count.ok()) return count.hr;
    *total = *count;
  }
  if (skip > 0) {
    const auto rows = static_cast<std::int32_t>(
        std::min<std::uint32_t>(skip, std::numeric_limits<std::int32_t>::max()));
    auto moved = (*table)->SeekRow(mapi::BOOKMARK_BEGINNING, rows);
    if (!moved.ok()) return moved.hr;
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
