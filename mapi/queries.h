// The helper functions of the messaging library: one property, all rows, one entry
// id from an open object.
#ifndef QUORVEL_MAPI_QUERIES_H_
#define QUORVEL_MAPI_QUERIES_H_

#include <optional>
#include <span>

#include "mapi/mapi_prop.h"
#include "mapi/restriction.h"
#include "mapi/table.h"

namespace quorvel::mapi {

// One property. On success the value is under the requested tag. When the object
// returns an error value, the result is that error's code and `value` is the PT_ERROR
// value; when the call itself fails, its code.
Result<PropValue> HrGetOneProp(MapiProp& object, PropTag tag);
HRESULT HrSetOneProp(MapiProp& object, const PropValue& value);

// Every row of a table: set the columns, restrict, then read in batches until a batch
// is empty. `maxRows` 0 means no limit; more rows than that is MAPI_E_TABLE_TOO_BIG.
Result<RowSet> HrQueryAllRows(Table& table, std::span<const PropTag> columns,
                              const std::optional<Restriction>& restriction,
                              std::int32_t maxRows = 0);

}  // namespace quorvel::mapi

#endif  // QUORVEL_MAPI_QUERIES_H_
