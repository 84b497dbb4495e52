#include "mapi/maildir/maildir_store.h"

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "mapi/inbox_receive_folder.h"
#include "mapi/maildir/maildir_core.h"
#include "mapi/maildir/maildir_folder.h"
#include "platform/code_page.h"

namespace quorvel::mapi {
namespace {

// PR_MDB_PROVIDER of Maildir stores.
constexpr std::string_view kMaildirProvider{
    "\x51\x56\x4D\x44\x8A\x2C\x4B\x11\x9E\x53\x6D\x61\x69\x6C\x64\x72", 16};

// Special folders recognised by their usual names, first match wins.
struct SpecialFolder {
  PropTag tag;
  const char* names[3];
};
constexpr SpecialFolder kSpecialFolders[] = {
    {PR_IPM_OUTBOX_ENTRYID, {"Outbox", nullptr, nullptr}},
    {PR_IPM_SENTMAIL_ENTRYID, {"Sent", "Sent Items", "Sent Messages"}},
    {PR_IPM_WASTEBASKET_ENTRYID, {"Trash", "Deleted Items", "Deleted Messages"}},
};

class MaildirStore final : public MsgStore {
 public:
  explicit MaildirStore(std::shared_ptr<MaildirCore> core) : core_(std::move(core)) {}

  MaildirCore& core() { return *core_; }

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
    if (!id.present() || id.empty()) return OpenFolder("");
    auto decoded = DecodeMaildirId(id.bytes());
    if (!decoded) return MAPI_E_INVALID_ENTRYID;
    if (decoded->key != core_->key()) return MAPI_E_NOT_FOUND;
    switch (decoded->kind) {
      case 'F':
        return OpenFolder(decoded->folderPath);
      case 'M': {
        auto message = core_->OpenMessage(decoded->folderPath, decoded->unique);
        if (!message.ok()) return message.hr;
        return Ok(OpenedEntry{MAPI_MESSAGE, message.value});
      }
      default:
        return MAPI_E_NOT_FOUND;
    }
  }

  Result<std::shared_ptr<Table>> GetReceiveFolderTable(std::uint32_t) override {
    return Ok(InboxReceiveFolderTable(core_->FolderId("")));
  }
  // Every class is received in the Inbox.
  Result<ReceiveFolder> GetReceiveFolder(std::string_view messageClass, std::uint32_t) override {
    return Ok(InboxReceiveFolder(core_->FolderId(""), messageClass));
  }
  HRESULT SetReceiveFolder(std::string_view, const EntryId&, std::uint32_t) override {
    return MAPI_E_NO_SUPPORT;
  }
  Result<std::uint32_t> Advise(const EntryId& id, std::uint32_t eventMask,
                               std::shared_ptr<AdviseSink> sink) override {
    return core_->watcher().Advise(id, eventMask, std::move(sink));
  }
  HRESULT Unadvise(std::uint32_t connection) override {
    return core_->watcher().Unadvise(connection);
  }
  Result<bool> CompareEntryIDs(const EntryId& a, const EntryId& b, std::uint32_t) override {
    if (!DecodeMaildirId(a.bytes()) || !DecodeMaildirId(b.bytes())) {
      return MAPI_E_INVALID_ENTRYID;
    }
    return Ok(a == b);
  }

 private:
  Result<OpenedEntry> OpenFolder(const std::string& path) {
    if (!core_->FolderExists(path)) return MAPI_E_NOT_FOUND;
    return Ok(OpenedEntry{MAPI_FOLDER, std::make_shared<MaildirFolder>(core_, path)});
  }

  std::vector<PropValue> AllProps() const {
    std::string name = core_->options().displayName;
    if (name.empty()) {
      std::string_view root = core_->root();
      name = platform::Utf8ToAnsi(root.substr(root.rfind('/') + 1));
    }
    std::vector<PropValue> props = {
        PropValue::Id(PR_ENTRYID, core_->StoreId()), PropValue::Id(PR_RECORD_KEY, core_->StoreId()),
        PropValue::String8(PR_DISPLAY_NAME, name), PropValue::ULong(PR_OBJECT_TYPE, MAPI_STORE),
        PropValue::Id(PR_IPM_SUBTREE_ENTRYID, core_->FolderId(""))};
    if (core_->options().serverStore) {
      props.push_back(
          PropValue::Bin(PR_MDB_PROVIDER, std::string(pbExchangeProviderPrimaryUserGuid)));
      props.push_back(PropValue::Boolean(PR_STORE_LOCAL_COPY, true));
    } else {
      props.push_back(PropValue::Bin(PR_MDB_PROVIDER, std::string(kMaildirProvider)));
    }
    for (const SpecialFolder& special : kSpecialFolders) {
      for (const char* folder : special.names) {
        if (folder != nullptr && core_->FolderExists(folder)) {
          props.push_back(PropValue::Id(special.tag, core_->FolderId(folder)));
          break;
        }
      }
    }
    return props;
  }

  std::shared_ptr<MaildirCore> core_;
};

bool EnsureDirectory(platform::FileSystem& files, const std::string& path) {
  platform::FileInfo info;
  if (!files.Stat(path, &info).ok()) return false;
  if (info.kind != platform::FileKind::kMissing) return info.kind == platform::FileKind::kFolder;
  return files.CreateFolders(path, 0700).ok();
}

}  // namespace

Result<std::shared_ptr<MsgStore>> OpenMaildirStore(const std::string& root,
                                                   const MaildirOptions& options) {
  platform::FileSystem& files =
      options.files != nullptr ? *options.files : platform::RealFileSystem();
  std::string real = root;
  if (options.files == nullptr) {
    char resolved[PATH_MAX];
    if (::realpath(root.c_str(), resolved) == nullptr) return MAPI_E_NOT_FOUND;
    real = resolved;
  }
  platform::FileInfo info;
  if (!files.Stat(real, &info).ok() || info.kind != platform::FileKind::kFolder) {
    return MAPI_E_NOT_FOUND;
  }
  for (const char* sub : {"/cur", "/new", "/tmp"}) {
    if (!EnsureDirectory(files, real + sub)) return MAPI_E_NO_ACCESS;
  }
  auto core = std::make_shared<MaildirCore>(real, options);
  return Ok(std::shared_ptr<MsgStore>(std::make_shared<MaildirStore>(std::move(core))));
}

EntryId MaildirMessageIdFromPath(MsgStore& store, const std::string& path) {
  auto* maildir = dynamic_cast<MaildirStore*>(&store);
  if (maildir == nullptr) return {};
  char resolved[PATH_MAX];
  if (::realpath(path.c_str(), resolved) == nullptr) return {};
  std::string real = resolved;
  const std::string& root = maildir->core().root();
  if (real.compare(0, root.size() + 1, root + "/") != 0) return {};
  std::string rest = real.substr(root.size() + 1);  // "[.Folder/]cur/name"
  std::string folder;
  if (!rest.empty() && rest[0] == '.') {
    std::size_t slash = rest.find('/');
    if (slash == std::string::npos) return {};
    folder = rest.substr(1, slash - 1);
    rest = rest.substr(slash + 1);
  }
  std::size_t slash = rest.find('/');
  if (slash == std::string::npos) return {};
  std::string sub = rest.substr(0, slash);
  auto name = ParseMessageFileName(rest.substr(slash + 1));
  if ((sub != "cur" && sub != "new") || !name || !maildir->core().FolderExists(folder)) return {};
  return maildir->core().MessageId(folder, name->unique);
}

namespace {

// `path` with symbolic links resolved in the part of it that exists; the rest is kept
// as written (lexically normalised).
std::string ResolveExisting(const std::string& path) {
  std::filesystem::path whole = std::filesystem::path(path).lexically_normal();
  std::filesystem::path existing = whole;
  std::vector<std::filesystem::path> rest;
  char resolved[PATH_MAX];
  while (::realpath(existing.c_str(), resolved) == nullptr) {
    if (!existing.has_relative_path()) return whole.string();
    rest.push_back(existing.filename());
    existing = existing.parent_path();
  }
  std::filesystem::path out = resolved;
  for (auto it = rest.rbegin(); it != rest.rend(); ++it) out /= *it;
  return out.string();
}

}  // namespace

MaildirPathName NameMaildirPath(MsgStore& store, const std::string& path) {
  auto* maildir = dynamic_cast<MaildirStore*>(&store);
  if (maildir == nullptr || path.empty() || path[0] != '/') return {};
  MaildirCore& core = maildir->core();
  std::string real = ResolveExisting(path);
  while (real.size() > 1 && real.back() == '/') real.pop_back();
  const std::string& root = core.root();
  if (real == root) return {MaildirPathName::kFolder, core.FolderId("")};
  if (real.compare(0, root.size() + 1, root + "/") != 0) return {};
  std::vector<std::string> parts;
  for (const auto& part : std::filesystem::path(real.substr(root.size() + 1))) {
    parts.push_back(part.string());
  }
  std::string folder;
  std::size_t next = 0;
  if (!parts.empty() && parts[0].size() > 1 && parts[0][0] == '.') {
    folder = parts[0].substr(1);
    next = 1;
  }
  if (!core.FolderExists(folder)) return {MaildirPathName::kOther, {}};
  if (next == parts.size()) return {MaildirPathName::kFolder, core.FolderId(folder)};
  if (next + 2 != parts.size() || (parts[next] != "cur" && parts[next] != "new")) {
    return {MaildirPathName::kOther, {}};
  }
  auto name = ParseMessageFileName(parts[next + 1]);
  if (!name) return {MaildirPathName::kOther, {}};
  return {MaildirPathName::kMessage, core.MessageId(folder, name->unique)};
}

std::string MaildirMessagePath(MsgStore& store, const EntryId& message) {
  auto* maildir = dynamic_cast<MaildirStore*>(&store);
  if (maildir == nullptr) return {};
  auto decoded = DecodeMaildirId(message.bytes());
  if (!decoded || decoded->kind != 'M' || decoded->key != maildir->core().key()) return {};
  auto at = maildir->core().Locate(decoded->folderPath, decoded->unique);
  return at ? maildir->core().PathOf(*at) : std::string();
}

}  // namespace quorvel::mapi
