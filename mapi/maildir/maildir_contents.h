// Internal to mapi/maildir: a folder's contents table. Its rows are the messages as
// listed when the table was made; a row's file is read (parsed for the summary
// columns) only when a column beyond the message's identity is asked for, and only
// for the rows a QueryRows returns. A reader that wants the entry ids alone (a folder
// check, a delete of everything) reads no message file at all, and a seek moves over
// the listing without reading any, so that a page from the end of a folder of
// 100,000 messages reads that page's files alone. A restriction needs whole rows:
// the table then reads them all once and goes on as a snapshot (RowTable).
//
// Not thread-safe, like every Table.
#ifndef QUORVEL_MAPI_MAILDIR_MAILDIR_CONTENTS_H_
#define QUORVEL_MAPI_MAILDIR_MAILDIR_CONTENTS_H_

#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "mapi/maildir/maildir_core.h"
#include "mapi/row_table.h"
#include "mapi/table.h"

namespace quorvel::mapi {

class MaildirContentsTable final : public Table {
 public:
  // `withProps`: the unique parts of the messages that have saved properties.
  MaildirContentsTable(std::shared_ptr<MaildirCore> core, std::vector<MessageLocation> messages,
                       std::unordered_set<std::string> withProps);

  HRESULT SetColumns(std::span<const PropTag> columns, std::uint32_t flags) override;
  HRESULT Restrict(const std::optional<Restriction>& restriction, std::uint32_t flags) override;
  Result<std::int32_t> SeekRow(Bookmark origin, std::int32_t rowCount) override;
  Result<RowSet> QueryRows(std::int32_t rowCount, std::uint32_t flags) override;
  Result<std::uint32_t> GetRowCount(std::uint32_t flags) override;

  // The columns a table has before SetColumns.
  static const std::vector<PropTag>& DefaultColumns();

 private:
  // Whole rows from here on: the snapshot every call then goes to.
  RowTable& Snapshot();
  bool IdentityOnly() const;

  std::shared_ptr<MaildirCore> core_;
  std::vector<MessageLocation> messages_;
  std::unordered_set<std::string> withProps_;
  std::vector<PropTag> columns_;
  std::size_t cursor_ = 0;
  std::unique_ptr<RowTable> snapshot_;  // once whole rows were needed
};

}  // namespace quorvel::mapi

#endif  // QUORVEL_MAPI_MAILDIR_MAILDIR_CONTENTS_H_
