// The in-memory objects behind the interfaces. Internal to mapi/memory: callers see
// only the mapi/ interfaces and MemorySession.
//
// A folder or store object works on the shared data directly. A message object works
// on a copy taken when it was opened (as a message store does); SaveChanges writes the
// copy back. Attachments work on a copy within their message's copy.
#ifndef QUORVEL_MAPI_MEMORY_OBJECTS_H_
#define QUORVEL_MAPI_MEMORY_OBJECTS_H_

#include <memory>

#include "mapi/address_book.h"
#include "mapi/folder.h"
#include "mapi/memory/memory_session.h"
#include "mapi/memory/prop_object.h"
#include "mapi/message.h"
#include "mapi/store.h"

namespace quorvel::mapi::memory {

// Opens a folder or message of the world by id (the session's and stores' OpenEntry).
// REQUIRES: world->mutex not held.
Result<OpenedEntry> OpenWorldEntry(const std::shared_ptr<World>& world, const EntryId& id);

class MemoryStore final : public PropObject<MsgStore>,
                          public std::enable_shared_from_this<MemoryStore> {
 public:
  MemoryStore(std::shared_ptr<World> world, EntryId id);
  std::uint32_t ObjectType() const override { return MAPI_STORE; }
  HRESULT SaveChanges(std::uint32_t) override;
  Result<OpenedEntry> OpenEntry(const EntryId& id, std::uint32_t flags) override;
  Result<std::shared_ptr<Table>> GetReceiveFolderTable(std::uint32_t flags) override;
  Result<ReceiveFolder> GetReceiveFolder(std::string_view messageClass,
                                         std::uint32_t flags) override;
  HRESULT SetReceiveFolder(std::string_view messageClass, const EntryId& folder,
                           std::uint32_t flags) override;
  Result<std::uint32_t> Advise(const EntryId& id, std::uint32_t eventMask,
                               std::shared_ptr<AdviseSink> sink) override;
  HRESULT Unadvise(std::uint32_t connection) override;
  Result<bool> CompareEntryIDs(const EntryId& a, const EntryId& b, std::uint32_t) override;

 private:
  Result<PropMap> Snapshot() override;
  HRESULT Edit(const std::function<void(PropMap&)>& edit) override;
  std::shared_ptr<void> SelfForStreams() override { return shared_from_this(); }
};

class MemoryFolder final : public PropObject<Folder>,
                           public std::enable_shared_from_this<MemoryFolder> {
 public:
  MemoryFolder(std::shared_ptr<World> world, EntryId id);
  std::uint32_t ObjectType() const override { return MAPI_FOLDER; }
  HRESULT SaveChanges(std::uint32_t) override;
  Result<std::shared_ptr<Table>> GetContentsTable(std::uint32_t flags) override;
  Result<std::shared_ptr<Table>> GetHierarchyTable(std::uint32_t flags) override;
  Result<std::shared_ptr<Message>> CreateMessage(std::uint32_t flags) override;
  HRESULT CopyMessages(std::span<const EntryId> messages, Folder& destination,
                       std::uint32_t flags) override;
  HRESULT DeleteMessages(std::span<const EntryId> messages, std::uint32_t flags) override;
  Result<std::shared_ptr<Folder>> CreateFolder(std::uint32_t folderType, const std::string& name,
                                               const std::string& comment,
                                               std::uint32_t flags) override;
  HRESULT DeleteFolder(const EntryId& subfolder, std::uint32_t flags) override;

  const EntryId& id() const { return target_; }

 private:
  Result<PropMap> Snapshot() override;
  HRESULT Edit(const std::function<void(PropMap&)>& edit) override;
  std::shared_ptr<void> SelfForStreams() override { return shared_from_this(); }
};

class MemoryMessage final : public PropObject<Message>,
                            public std::enable_shared_from_this<MemoryMessage> {
 public:
  // An existing message (`isNew` false) or one made by CreateMessage.
  MemoryMessage(std::shared_ptr<World> world, MessageData copy, bool isNew,
                std::uint32_t createFlags);
  std::uint32_t ObjectType() const override { return MAPI_MESSAGE; }
  HRESULT SaveChanges(std::uint32_t flags) override;
  Result<std::shared_ptr<Table>> GetRecipientTable(std::uint32_t flags) override;
  Result<std::shared_ptr<Table>> GetAttachmentTable(std::uint32_t flags) override;
  Result<std::shared_ptr<Attach>> OpenAttach(std::uint32_t attachNum, std::uint32_t flags) override;
  Result<std::shared_ptr<Attach>> CreateAttach(std::uint32_t flags) override;
  HRESULT DeleteAttach(std::uint32_t attachNum, std::uint32_t flags) override;
  HRESULT ModifyRecipients(std::uint32_t flags, const RowSet& rows) override;
  HRESULT SetReadFlag(std::uint32_t flags) override;

  // For attachments: their saved state within this message's copy.
  void PutAttachment(std::uint32_t num, AttachData data);
  const EntryId& id() const { return target_; }

 private:
  Result<PropMap> Snapshot() override;
  HRESULT Edit(const std::function<void(PropMap&)>& edit) override;
  std::size_t LargeLimit() override;
  std::shared_ptr<void> SelfForStreams() override { return shared_from_this(); }

  MessageData copy_;
  bool isNew_;
  std::uint32_t createFlags_;
};

class MemoryAttach final : public PropObject<Attach>,
                           public std::enable_shared_from_this<MemoryAttach> {
 public:
  MemoryAttach(std::shared_ptr<World> world, std::shared_ptr<MemoryMessage> message,
               std::uint32_t num, AttachData copy);
  std::uint32_t ObjectType() const override { return MAPI_ATTACH; }
  HRESULT SaveChanges(std::uint32_t flags) override;

 private:
  Result<PropMap> Snapshot() override;
  HRESULT Edit(const std::function<void(PropMap&)>& edit) override;
  std::shared_ptr<void> SelfForStreams() override { return shared_from_this(); }

  std::shared_ptr<MemoryMessage> message_;
  std::uint32_t num_;
  AttachData copy_;
};

// The address book of the session.
class MemoryAddressBook final : public AddressBook {
 public:
  explicit MemoryAddressBook(std::shared_ptr<World> world) : world_(std::move(world)) {}
  Result<OpenedEntry> OpenEntry(const EntryId& id, std::uint32_t flags) override;

 private:
  std::shared_ptr<World> world_;
};

}  // namespace quorvel::mapi::memory

#endif  // QUORVEL_MAPI_MEMORY_OBJECTS_H_
