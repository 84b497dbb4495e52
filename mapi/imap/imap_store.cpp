#include "mapi/imap/imap_store.h"

#include "mapi/imap/imap_core.h"
#include "mapi/imap/imap_folder.h"
#include "mapi/inbox_receive_folder.h"
#include "mapi/pick_props.h"
#include "platform/code_page.h"

namespace quorvel::mapi {
namespace {

using imap::DecodeId;
using imap::ImapCore;
using imap::ImapFolder;

class ImapStore final : public MsgStore {
 public:
  explicit ImapStore(std::shared_ptr<ImapCore> core) : core_(std::move(core)) {}

  ImapCore& core() { return *core_; }

  std::uint32_t ObjectType() const override { return MAPI_STORE; }
  Result<std::vector<PropValue>> GetProps(std::span<const PropTag> tags, std::uint32_t) override {
    return PickProps(AllProps(), tags);
  }
  Result<std::vector<PropTag>> GetPropList(std::uint32_t) override {
    std::vector<PropTag> tags;
    for (const PropValue& v : AllProps()) tags.push_back(v.tag);
    return Ok(std::move(tags));
  }
  HRESULT SetProps(std::span<const PropValue>) override { return MAPI_E_NO_ACCESS; }
  HRESULT DeleteProps(std::span<const PropTag>) override { return MAPI_E_NO_ACCESS; }
  HRESULT SaveChanges(std::uint32_t) override { return S_OK; }
  Result<std::shared_ptr<Stream>> OpenProperty(PropTag, std::uint32_t) override {
    return MAPI_E_NO_SUPPORT;
  }
  Result<std::vector<PropTag>> GetIDsFromNames(std::span<const PropName>, std::uint32_t) override {
    return MAPI_E_NO_SUPPORT;
  }

  Result<OpenedEntry> OpenEntry(const EntryId& id, std::uint32_t) override {
    if (!id.present() || id.empty()) return OpenFolder("INBOX");
    auto decoded = DecodeId(id.bytes());
    if (!decoded) return MAPI_E_INVALID_ENTRYID;
    if (decoded->key != core_->key()) return MAPI_E_NOT_FOUND;
    switch (decoded->kind) {
      case 'F':
        return OpenFolder(decoded->mailbox);
      case 'M': {
        auto message = core_->OpenMessage(decoded->mailbox, decoded->uidValidity, decoded->uid);
        if (!message.ok()) return message.hr;
        return Ok(OpenedEntry{MAPI_MESSAGE, message.value});
      }
      default:
        return MAPI_E_NOT_FOUND;
    }
  }

  Result<std::shared_ptr<Table>> GetReceiveFolderTable(std::uint32_t) override {
    return Ok(InboxReceiveFolderTable(core_->FolderId("INBOX")));
  }
  // Every class is received in the Inbox.
  Result<ReceiveFolder> GetReceiveFolder(std::string_view messageClass, std::uint32_t) override {
    return Ok(InboxReceiveFolder(core_->FolderId("INBOX"), messageClass));
  }
  HRESULT SetReceiveFolder(std::string_view, const EntryId&, std::uint32_t) override {
    return MAPI_E_NO_SUPPORT;
  }
  Result<std::uint32_t> Advise(const EntryId& id, std::uint32_t eventMask,
                               std::shared_ptr<AdviseSink> sink) override {
    return core_->Advise(id, eventMask, std::move(sink));
  }
  HRESULT Unadvise(std::uint32_t connection) override { return core_->Unadvise(connection); }
  Result<bool> CompareEntryIDs(const EntryId& a, const EntryId& b, std::uint32_t) override {
    if (!DecodeId(a.bytes()) || !DecodeId(b.bytes())) return MAPI_E_INVALID_ENTRYID;
    return Ok(a == b);
  }

 private:
  Result<OpenedEntry> OpenFolder(const std::string& mailbox) {
    std::string name = imap::NormalizeMailbox(mailbox);
    auto folders = core_->Folders();
    if (!folders.ok()) return folders.hr;
    auto info = core_->Find(name);
    if (!info || info->noSelect) return MAPI_E_NOT_FOUND;
    return Ok(OpenedEntry{MAPI_FOLDER, std::make_shared<ImapFolder>(core_, name)});
  }

  std::vector<PropValue> AllProps() const {
    const ImapStoreOptions& o = core_->options();
    std::string name =
        o.displayName.empty() ? o.account.user + "@" + o.account.host : o.displayName;
    std::vector<PropValue> props = {
        PropValue::Id(PR_ENTRYID, core_->StoreId()), PropValue::Id(PR_RECORD_KEY, core_->StoreId()),
        PropValue::String8(PR_DISPLAY_NAME, platform::Utf8ToAnsi(name)),
        PropValue::ULong(PR_OBJECT_TYPE, MAPI_STORE),
        // A server mailbox with a local copy, as the add-in knows them: its watcher hears
        // created and moved messages, and the Inbox's unread mail is scanned at start.
        PropValue::Bin(PR_MDB_PROVIDER, std::string(pbExchangeProviderPrimaryUserGuid)),
        PropValue::Boolean(PR_STORE_LOCAL_COPY, true),
        PropValue::Id(PR_IPM_SUBTREE_ENTRYID, core_->FolderId("INBOX"))};
    if (auto sent = core_->FindSpecial("\\Sent")) {
      props.push_back(PropValue::Id(PR_IPM_SENTMAIL_ENTRYID, core_->FolderId(sent->mailbox)));
    }
    if (auto trash = core_->FindSpecial("\\Trash")) {
      props.push_back(PropValue::Id(PR_IPM_WASTEBASKET_ENTRYID, core_->FolderId(trash->mailbox)));
    }
    return props;
  }

  std::shared_ptr<ImapCore> core_;
};

}  // namespace

Result<std::shared_ptr<MsgStore>> OpenImapStore(const ImapStoreOptions& options,
                                                std::string* error) {
  ImapStoreOptions o = options;
  if (o.accountAddress.empty() && o.account.user.find('@') != std::string::npos) {
    o.accountAddress = o.account.user;
  }
  auto core = std::make_shared<ImapCore>(o);
  HRESULT hr = core->Start(error);
  if (Failed(hr)) return hr;
  return Ok(std::shared_ptr<MsgStore>(std::make_shared<ImapStore>(std::move(core))));
}

void StopImapStore(MsgStore& store, std::chrono::milliseconds grace) {
  if (auto* imapStore = dynamic_cast<ImapStore*>(&store)) imapStore->core().Stop(grace);
}

std::string LastImapError(MsgStore& store) {
  auto* imapStore = dynamic_cast<ImapStore*>(&store);
  return imapStore ? imapStore->core().LastError() : std::string();
}

}  // namespace quorvel::mapi
