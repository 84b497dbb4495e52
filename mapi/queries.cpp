#include "mapi/queries.h"

#include <utility>

namespace quorvel::mapi {

Result<PropValue> HrGetOneProp(MapiProp& object, PropTag tag) {
  PropTag tags[] = {tag};
  auto values = object.GetProps(tags);
  if (!values.ok()) return values.hr;
  if (values->size() != 1) return MAPI_E_CALL_FAILED;
  PropValue& v = values->front();
  if (v.IsError() && PROP_TYPE(tag) != PT_ERROR) {
    HRESULT code = v.ErrorCode();
    return Result<PropValue>(Failed(code) ? code : MAPI_E_NOT_FOUND, std::move(v));
  }
  return Ok(std::move(v));
}

HRESULT HrSetOneProp(MapiProp& object, const PropValue& value) {
  HRESULT hr = object.SetProps(std::span<const PropValue>(&value, 1));
  return hr == MAPI_W_ERRORS_RETURNED ? MAPI_E_CALL_FAILED : hr;
}

Result<RowSet> HrQueryAllRows(Table& table, std::span<const PropTag> columns,
                              const std::optional<Restriction>& restriction, std::int32_t maxRows) {
  if (!columns.empty()) {
    HRESULT hr = table.SetColumns(columns, TBL_BATCH);
    if (Failed(hr)) return hr;
  }
  if (restriction) {
    HRESULT hr = table.Restrict(restriction, TBL_BATCH);
    if (Failed(hr)) return hr;
  }
  auto sought = table.SeekRow(BOOKMARK_BEGINNING, 0);
  if (!sought.ok()) return sought.hr;
  RowSet all;
  for (;;) {
    auto batch = table.QueryRows(128, 0);
    if (!batch.ok()) return batch.hr;
    if (batch->empty()) break;
    for (auto& row : *batch) all.push_back(std::move(row));
    if (maxRows > 0 && all.size() > static_cast<std::size_t>(maxRows)) {
      return MAPI_E_TABLE_TOO_BIG;
    }
  }
  return Ok(std::move(all));
}

}  // namespace quorvel::mapi
