// Internal to mapi/imap: a mailbox's contents table, read from the server only when
// rows are first asked for. A restriction set before that which asks only for
// messages by Message-ID (PR_INTERNET_MESSAGE_ID equal to a value, or an OR of such
// tests) is answered with one UID SEARCH of the values' HEADER Message-ID tests, so that looking
// a message up in a large mailbox reads only what matches; any other restriction is
// applied to the whole mailbox, read once.
//
// Thread-safety: none, like every Table.
#ifndef QUORVEL_MAPI_IMAP_IMAP_CONTENTS_H_
#define QUORVEL_MAPI_IMAP_IMAP_CONTENTS_H_

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "mapi/imap/imap_core.h"
#include "mapi/row_table.h"

namespace quorvel::mapi::imap {

// The Message-IDs a restriction asks for, when that is all it asks; nothing else.
std::optional<std::vector<std::string>> MessageIdsSought(const Restriction& restriction);

class ImapContentsTable final : public Table {
 public:
  ImapContentsTable(std::shared_ptr<ImapCore> core, std::string mailbox);

  HRESULT SetColumns(std::span<const PropTag> columns, std::uint32_t flags) override;
  HRESULT Restrict(const std::optional<Restriction>& restriction, std::uint32_t flags) override;
  Result<std::int32_t> SeekRow(Bookmark origin, std::int32_t rowCount) override;
  Result<RowSet> QueryRows(std::int32_t rowCount, std::uint32_t flags) override;
  Result<std::uint32_t> GetRowCount(std::uint32_t flags) override;

 private:
  // Reads the rows (all, or those of `messageIds`) unless read already.
  HRESULT Load(const std::vector<std::string>* messageIds = nullptr);

  std::shared_ptr<ImapCore> core_;
  std::string mailbox_;
  std::vector<PropTag> columns_;
  std::unique_ptr<RowTable> rows_;  // once read
};

}  // namespace quorvel::mapi::imap

#endif  // QUORVEL_MAPI_IMAP_IMAP_CONTENTS_H_
