// Containers and folders (modelled on IMAPIContainer and IMAPIFolder).
#ifndef QUORVEL_MAPI_FOLDER_H_
#define QUORVEL_MAPI_FOLDER_H_

#include <memory>
#include <span>
#include <string>

#include "mapi/entry_id.h"
#include "mapi/mapi_prop.h"
#include "mapi/table.h"

namespace quorvel::mapi {

class Message;

// Something with contents and subcontainers: a folder or an address-book container.
class Container : public MapiProp {
 public:
  // Rows of the contents (messages, or address-book entries). Each row can give any
  // property of its object, PR_ENTRYID and PR_OBJECT_TYPE included.
  virtual Result<std::shared_ptr<Table>> GetContentsTable(std::uint32_t flags) = 0;
  // Rows of the direct subcontainers.
  virtual Result<std::shared_ptr<Table>> GetHierarchyTable(std::uint32_t flags) = 0;
};

class Folder : public Container {
 public:
  // A new message in this folder; it appears in the folder at SaveChanges.
  virtual Result<std::shared_ptr<Message>> CreateMessage(std::uint32_t flags) = 0;
  // Copies (or with MESSAGE_MOVE moves) the messages into `destination`. Returns S_OK
  // only when every message was handled; MAPI_W_PARTIAL_COMPLETION when some were not
  // found. A destination of another kind of store is MAPI_E_NO_SUPPORT.
  virtual HRESULT CopyMessages(std::span<const EntryId> messages, Folder& destination,
                               std::uint32_t flags) = 0;
  // Deletes the messages for good (they do not go to Deleted Items).
  virtual HRESULT DeleteMessages(std::span<const EntryId> messages, std::uint32_t flags) = 0;
  // A subfolder; with OPEN_IF_EXISTS an existing one of that name is opened, without
  // it an existing name is MAPI_E_COLLISION.
  virtual Result<std::shared_ptr<Folder>> CreateFolder(std::uint32_t folderType,
                                                       const std::string& name,
                                                       const std::string& comment,
                                                       std::uint32_t flags) = 0;
  // Deletes a subfolder (DEL_FOLDERS | DEL_MESSAGES: with its contents).
  virtual HRESULT DeleteFolder(const EntryId& subfolder, std::uint32_t flags) = 0;
};

}  // namespace quorvel::mapi

#endif  // QUORVEL_MAPI_FOLDER_H_
