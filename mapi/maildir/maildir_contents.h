// Internal to mapi/maildir: a folder's contents table, read from the folder as it goes.
//
// Rows come in the order of the messages' unique parts, listed a batch at a time
// (MaildirCore::ListMessagesAfter): the table keeps one batch and the unique part of
// the last row it gave, never the whole folder, so a reader of the entry ids alone (a
// folder check, a delete of everything) reads a folder of any size in constant memory
// and reads no message file at all. Because the order is by unique part, which a
// message keeps while it lives in the folder, files added, removed or renamed (a flag
// change, new/ to cur/) while the table is read never make a row come twice, and a
// message there from the first read to the last is never left out; one added with a
// unique part after the last row given is read, one before it is not.
//
// A row's file is read (parsed for the summary columns) only when a column beyond the
// message's identity is asked for, and only for the rows a QueryRows returns. A seek
// (other than back to the first row, where every read of a whole table starts) needs
// positions: the table then lists the whole folder once, still reading no file, so
// that a page from the end of a folder of 100,000 messages reads that page's files
// alone; the listing is shared with the folder's other tables while new/ and cur/ do
// not change, so that the pages of a window that keeps its last page's table list the
// folder once, not once a page. A restriction that tests only what the file names
// decide (the read and unsent bits of PR_MESSAGE_FLAGS, as a scan for unread mail
// asks) is applied to the listing, reading no file; any other needs whole rows: the
// table then reads them all once and goes on as a snapshot (RowTable) from the first
// row. A restriction puts the table back at its first row.
//
// GetRowCount counts the rows of the listing a seek or restriction made; before one,
// the message files on disk at the call (as PR_CONTENT_COUNT does). A count asked
// before the first row is read keeps its listing for the first kListBatch rows, so
// that a page from the first row with its count (a window's new mail at the top of a
// large folder) lists the folder once, or not at all while another table holds a
// listing still valid; past them the table lets the listing go and goes on in
// batches after the last row given, so a count then a read of the whole folder (a
// folder check's progress) still holds one batch, as a read without a count does.
//
// Not thread-safe, like every Table.
#ifndef QUORVEL_MAPI_MAILDIR_MAILDIR_CONTENTS_H_
#define QUORVEL_MAPI_MAILDIR_MAILDIR_CONTENTS_H_

#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "mapi/maildir/maildir_core.h"
#include "mapi/row_table.h"
#include "mapi/table.h"

namespace quorvel::mapi {

class MaildirContentsTable final : public Table {
 public:
  MaildirContentsTable(std::shared_ptr<MaildirCore> core, std::string folderPath);

  HRESULT SetColumns(std::span<const PropTag> columns, std::uint32_t flags) override;
  HRESULT Restrict(const std::optional<Restriction>& restriction, std::uint32_t flags) override;
  Result<std::int32_t> SeekRow(Bookmark origin, std::int32_t rowCount) override;
  Result<RowSet> QueryRows(std::int32_t rowCount, std::uint32_t flags) override;
  Result<std::uint32_t> GetRowCount(std::uint32_t flags) override;

  // The columns a table has before SetColumns.
  static const std::vector<PropTag>& DefaultColumns();
  // How many messages one listing pass keeps.
  static constexpr std::size_t kListBatch = 1024;

 private:
  // Where the reading is: the rows after `after` (the unique part of the last row
  // given; "" before the first), the next of them listed in `batch` from `next` on.
  struct Cursor {
    std::string after;
    std::vector<MessageLocation> batch;
    std::size_t next = 0;
  };
  // The next row's location, listing the next batch when this one is used up;
  // nothing at the end.
  const MessageLocation* Next(Cursor& cursor);
  // Every row's file from the first, and how many of them were given already.
  std::shared_ptr<const FolderNames> ListAll(std::size_t* given);
  // Whole rows from here on: the snapshot every call then goes to.
  RowTable& Snapshot();
  bool IdentityOnly() const;
  // The unique parts of the messages that have saved properties, listed once.
  const std::unordered_set<std::string>& WithProps();
  // The row of the message at `at` in the current columns; nothing for a file gone.
  std::optional<Row> RowAt(const MessageLocation& at, bool identityOnly);

  std::shared_ptr<MaildirCore> core_;
  std::string folderPath_;
  std::vector<PropTag> columns_;
  Cursor cursor_;
  // Once a seek needed positions: the whole listing (shared with other tables of the
  // folder while it is unchanged, MaildirCore::ListFolderNames), and the position in
  // it; or, once restricted by what the names decide, the listing's rows that match.
  std::shared_ptr<const FolderNames> listed_;
  std::size_t position_ = 0;
  // listed_ is the count's, given from only up to its first kListBatch rows.
  bool countedAtStart_ = false;
  std::optional<std::unordered_set<std::string>> withProps_;
  std::unique_ptr<RowTable> snapshot_;  // once whole rows were needed
};

}  // namespace quorvel::mapi

#endif  // QUORVEL_MAPI_MAILDIR_MAILDIR_CONTENTS_H_
