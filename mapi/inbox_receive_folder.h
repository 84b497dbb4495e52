// The receive folders of a store that receives every message class in its Inbox, as
// a Maildir and an IMAP account do: a receive-folder table with rows for "", "IPM"
// and "IPM.Note", and GetReceiveFolder's answer for a class.
#ifndef QUORVEL_MAPI_INBOX_RECEIVE_FOLDER_H_
#define QUORVEL_MAPI_INBOX_RECEIVE_FOLDER_H_

#include <memory>
#include <string_view>

#include "mapi/store.h"
#include "mapi/table.h"

namespace quorvel::mapi {

std::shared_ptr<Table> InboxReceiveFolderTable(const EntryId& inbox);
// The Inbox, with the longest of the table's classes that `messageClass` falls under
// ("IPM.Note.Custom" falls under "IPM.Note"; "IPMX" only under "").
ReceiveFolder InboxReceiveFolder(const EntryId& inbox, std::string_view messageClass);

}  // namespace quorvel::mapi

#endif  // QUORVEL_MAPI_INBOX_RECEIVE_FOLDER_H_
