// RowTable: a Table over a snapshot of rows, each row being every property of one
// object. Backends build one per GetContentsTable / GetRecipientTable / ... call.
// Columns pick values with ValueForTag (a missing column comes back as PT_ERROR);
// restrictions see the full rows. Not thread-safe, like every Table.
#ifndef QUORVEL_MAPI_ROW_TABLE_H_
#define QUORVEL_MAPI_ROW_TABLE_H_

#include <functional>
#include <vector>

#include "mapi/table.h"

namespace quorvel::mapi {

class RowTable final : public Table {
 public:
  // Which call is about to run; a hook may answer with a failure code to make it fail.
  enum class Op { kSetColumns, kRestrict, kSeekRow, kQueryRows, kGetRowCount };
  using Hook = std::function<HRESULT(Op)>;

  RowTable(std::vector<std::vector<PropValue>> rows, std::vector<PropTag> defaultColumns,
           Hook hook = nullptr);

  HRESULT SetColumns(std::span<const PropTag> columns, std::uint32_t flags) override;
  HRESULT Restrict(const std::optional<Restriction>& restriction, std::uint32_t flags) override;
  Result<std::int32_t> SeekRow(Bookmark origin, std::int32_t rowCount) override;
  Result<RowSet> QueryRows(std::int32_t rowCount, std::uint32_t flags) override;
  Result<std::uint32_t> GetRowCount(std::uint32_t flags) override;

 private:
  HRESULT Check(Op op) const { return hook_ ? hook_(op) : S_OK; }

  std::vector<std::vector<PropValue>> all_;
  std::vector<std::size_t> visible_;  // indices into all_ that pass the restriction
  std::vector<PropTag> columns_;
  std::size_t cursor_ = 0;  // index into visible_
  Hook hook_;
};

}  // namespace quorvel::mapi

#endif  // QUORVEL_MAPI_ROW_TABLE_H_
