// Reading a folder's contents table in batches, so that a folder of any size is
// walked with one batch of rows in hand at a time.
#ifndef QUORVEL_HOST_CONTENTS_ROWS_H_
#define QUORVEL_HOST_CONTENTS_ROWS_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <span>

#include "host/object_model.h"

namespace quorvel::host {

inline constexpr std::int32_t kContentsBatch = 256;

// Calls `each` with every row of the folder's contents, `columns` in order, from row
// `skip` on, until it returns false or the rows end. The first failing call's result
// (a folder deleted meanwhile: MAPI_E_NOT_FOUND), else S_OK. With `total`, the
// table's row count goes there before the first row (the same listing's, not another
// one). With `kept`, the contents table read goes there: a caller that keeps it until
// it reads the folder again lets the store give that read what this one listed, while
// the folder has not changed (a Maildir folder's names: maildir_contents.h).
HRESULT ForEachContentsRow(MAPIFolder& folder, std::span<const mapi::PropTag> columns,
                           std::uint32_t skip, const std::function<bool(const mapi::Row&)>& each,
                           std::uint32_t* total = nullptr,
                           std::shared_ptr<mapi::Table>* kept = nullptr);

}  // namespace quorvel::host

#endif  // QUORVEL_HOST_CONTENTS_ROWS_H_
