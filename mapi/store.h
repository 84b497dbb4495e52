// MsgStore: one message store of the session (modelled on IMsgStore). Its properties
// include PR_ENTRYID, PR_DISPLAY_NAME, PR_MDB_PROVIDER, PR_IPM_SUBTREE_ENTRYID,
// PR_IPM_OUTBOX_ENTRYID, PR_IPM_SENTMAIL_ENTRYID, PR_IPM_WASTEBASKET_ENTRYID and, on
// stores that have it, the Boolean PR_STORE_LOCAL_COPY (0x6632000B).
#ifndef QUORVEL_MAPI_STORE_H_
#define QUORVEL_MAPI_STORE_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "mapi/entry_id.h"
#include "mapi/mapi_prop.h"
#include "mapi/notification.h"
#include "mapi/table.h"

namespace quorvel::mapi {

// A receive folder and the message class it was found for.
struct ReceiveFolder {
  EntryId folderId;
  std::string explicitClass;  // the class of the table row that matched
};

class MsgStore : public MapiProp {
 public:
  // A folder or message of this store; an absent or empty id opens the root folder.
  virtual Result<OpenedEntry> OpenEntry(const EntryId& id, std::uint32_t flags) = 0;
  // Rows with PR_MESSAGE_CLASS and PR_ENTRYID (the folder), one per message class.
  virtual Result<std::shared_ptr<Table>> GetReceiveFolderTable(std::uint32_t flags) = 0;
  // The folder that receives `messageClass`: the row with the longest class that is a
  // prefix of it at a "." boundary; "" matches every class.
  virtual Result<ReceiveFolder> GetReceiveFolder(std::string_view messageClass,
                                                 std::uint32_t flags) = 0;
  virtual HRESULT SetReceiveFolder(std::string_view messageClass, const EntryId& folder,
                                   std::uint32_t flags) = 0;
  // Registers `sink` for the events in `eventMask` on the whole store (absent id) or on
  // one folder or message. Returns the connection number (never 0).
  virtual Result<std::uint32_t> Advise(const EntryId& id, std::uint32_t eventMask,
                                       std::shared_ptr<AdviseSink> sink) = 0;
  // Cancels a registration; once it returns, the sink is not called again.
  virtual HRESULT Unadvise(std::uint32_t connection) = 0;
  // Whether two ids name the same object of this store.
  virtual Result<bool> CompareEntryIDs(const EntryId& a, const EntryId& b, std::uint32_t flags) = 0;
};

}  // namespace quorvel::mapi

#endif  // QUORVEL_MAPI_STORE_H_
