// Table: rows of a folder's contents or subfolders, a message's recipients or
// attachments, or the session's stores, providers and status. Modelled on
// IMAPITable: choose columns, optionally restrict, then read rows in batches from a
// cursor until a batch comes back empty. Not thread-safe: one table, one thread.
#ifndef QUORVEL_MAPI_TABLE_H_
#define QUORVEL_MAPI_TABLE_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <span>

#include "mapi/prop_value.h"
#include "mapi/restriction.h"
#include "mapi/result.h"

namespace quorvel::mapi {

class Table {
 public:
  virtual ~Table() = default;
  // The columns of following QueryRows; a column a row lacks comes back as
  // PROP_TAG(PT_ERROR, id) with MAPI_E_NOT_FOUND.
  virtual HRESULT SetColumns(std::span<const PropTag> columns, std::uint32_t flags) = 0;
  // Shows only rows that match (nullopt: all rows again); moves the cursor to the
  // beginning.
  virtual HRESULT Restrict(const std::optional<Restriction>& restriction, std::uint32_t flags) = 0;
  // Moves the cursor `rowCount` rows from a bookmark; returns the rows actually moved.
  virtual Result<std::int32_t> SeekRow(Bookmark origin, std::int32_t rowCount) = 0;
  // Up to `rowCount` rows from the cursor, which advances past them (TBL_NOADVANCE: it
  // stays). An empty row set means the end.
  virtual Result<RowSet> QueryRows(std::int32_t rowCount, std::uint32_t flags) = 0;
  // The number of rows the restriction lets through.
  virtual Result<std::uint32_t> GetRowCount(std::uint32_t flags) = 0;
};

}  // namespace quorvel::mapi

#endif  // QUORVEL_MAPI_TABLE_H_
