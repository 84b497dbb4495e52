#include "mapi/mime/mime_message.h"

#include <algorithm>
#include <cerrno>
#include <utility>

#include "mapi/mime/mime_props.h"
#include "mapi/row_table.h"
#include "platform/code_page.h"

namespace quorvel::mapi {
namespace {

// Properties that describe the object rather than its content: never written.
constexpr PropTag kComputedTags[] = {
    PR_ENTRYID,     PR_PARENT_ENTRYID, PR_STORE_ENTRYID, PR_RECORD_KEY, PR_INSTANCE_KEY,
    PR_OBJECT_TYPE, PR_MESSAGE_FLAGS,  PR_MESSAGE_SIZE,  PR_HASATTACH,  PR_ATTACH_NUM};

bool IsComputed(PropTag tag) {
  return std::any_of(std::begin(kComputedTags), std::end(kComputedTags),
                     [tag](PropTag c) { return PROP_ID(c) == PROP_ID(tag); });
}

// The bytes of a string or binary value, moved out of it (a body can be large).
std::string ValueBytes(PropValue&& v) {
  if (std::string* s = std::get_if<std::string>(&v.value)) return std::move(*s);
  if (Binary* b = std::get_if<Binary>(&v.value)) return std::move(b->bytes);
  return {};
}

// GetProps over a lookup by property id; an empty tag list means every property.
template <typename Lookup>
Result<std::vector<PropValue>> GetPropsWith(std::span<const PropTag> tags, Lookup lookup) {
  std::vector<PropValue> out;
  out.reserve(tags.size());
  bool errors = false;
  for (PropTag tag : tags) {
    std::optional<PropValue> v = lookup(PROP_ID(tag));
    out.push_back(v ? ValueForTag(std::move(*v), tag) : ValueForTag(nullptr, tag));
    errors = errors || out.back().IsError();
  }
  return Result<std::vector<PropValue>>(errors ? MAPI_W_ERRORS_RETURNED : S_OK, std::move(out));
}

class MimeAttach final : public Attach {
 public:
  MimeAttach(std::shared_ptr<const MimeMessage> parsed, std::size_t index)
      : parsed_(std::move(parsed)), index_(index), props_(MimeAttachProps(*parsed_, index)) {}

  std::uint32_t ObjectType() const override { return MAPI_ATTACH; }

  Result<std::vector<PropValue>> GetProps(std::span<const PropTag> tags, std::uint32_t) override {
    if (tags.empty()) {
      auto all = GetPropList(0);
      return GetPropsWith(*all, [this](std::uint32_t id) { return Find(id); });
    }
    return GetPropsWith(tags, [this](std::uint32_t id) { return Find(id); });
  }
  Result<std::vector<PropTag>> GetPropList(std::uint32_t) override {
    std::vector<PropTag> tags;
    for (const PropValue& v : props_) tags.push_back(v.tag);
    tags.push_back(PR_ATTACH_DATA_BIN);
    return Ok(std::move(tags));
  }
  HRESULT SetProps(std::span<const PropValue>) override { return MAPI_E_NO_ACCESS; }
  HRESULT DeleteProps(std::span<const PropTag>) override { return MAPI_E_NO_ACCESS; }
  HRESULT SaveChanges(std::uint32_t) override { return MAPI_E_NO_ACCESS; }
  Result<std::shared_ptr<Stream>> OpenProperty(PropTag tag, std::uint32_t flags) override {
    if (flags & (MAPI_MODIFY | MAPI_CREATE)) return MAPI_E_NO_ACCESS;
    std::optional<PropValue> v = Find(PROP_ID(tag));
    if (!v) return MAPI_E_NOT_FOUND;
    return Ok(std::shared_ptr<Stream>(std::make_shared<MemoryStream>(ValueBytes(std::move(*v)))));
  }
  Result<std::vector<PropTag>> GetIDsFromNames(std::span<const PropName>, std::uint32_t) override {
    return MAPI_E_NO_SUPPORT;
  }

 private:
  std::optional<PropValue> Find(std::uint32_t id) {
    if (id == PROP_ID(PR_ATTACH_DATA_BIN)) {
      std::string data;
      if (!ReadAttachmentData(*parsed_, index_, &data)) return std::nullopt;
      return PropValue::Bin(PR_ATTACH_DATA_BIN, std::move(data));
    }
    if (const PropValue* v = FindPropId(props_, PROP_TAG(PT_UNSPECIFIED, id))) return *v;
    return std::nullopt;
  }

  std::shared_ptr<const MimeMessage> parsed_;
  std::size_t index_;
  std::vector<PropValue> props_;
};

class MimeMapiMessage final : public Message, public std::enable_shared_from_this<MimeMapiMessage> {
 public:
  MimeMapiMessage(MimeMessage parsed, MimeMessageContext context,
                  std::shared_ptr<MimeMessageSaver> saver)
      : parsed_(std::make_shared<const MimeMessage>(std::move(parsed))),
        context_(std::move(context)),
        saver_(std::move(saver)),
        written_(context_.saved) {}

  std::uint32_t ObjectType() const override { return MAPI_MESSAGE; }

  Result<std::vector<PropValue>> GetProps(std::span<const PropTag> tags, std::uint32_t) override {
    auto lookup = [this](std::uint32_t id) { return Find(id); };
    if (tags.empty()) {
      auto all = GetPropList(0);
      return GetPropsWith(*all, lookup);
    }
    return GetPropsWith(tags, lookup);
  }

  Result<std::vector<PropTag>> GetPropList(std::uint32_t) override {
    std::vector<PropTag> tags;
    auto add = [&tags](PropTag tag) {
      if (std::none_of(tags.begin(), tags.end(),
                       [tag](PropTag t) { return PROP_ID(t) == PROP_ID(tag); })) {
        tags.push_back(tag);
      }
    };
    for (const PropValue& v : written_) add(v.tag);
    for (const PropValue& v : context_.identity) add(v.tag);
    for (PropTag t : MimePropTags(*parsed_, context_, false)) add(t);
    return Ok(std::move(tags));
  }

  HRESULT SetProps(std::span<const PropValue> values) override {
    bool refused = false;
    for (const PropValue& v : values) {
      if (IsComputed(v.tag) || v.IsError()) {
        refused = true;
        continue;
      }
      auto same = [&v](const PropValue& w) { return w.id() == v.id(); };
      written_.erase(std::remove_if(written_.begin(), written_.end(), same), written_.end());
      written_.push_back(v);
      dirty_ = true;
    }
    return refused ? MAPI_W_ERRORS_RETURNED : S_OK;
  }

  HRESULT DeleteProps(std::span<const PropTag> tags) override {
    bool refused = false;
    for (PropTag tag : tags) {
      auto same = [tag](const PropValue& w) { return w.id() == PROP_ID(tag); };
      auto it = std::remove_if(written_.begin(), written_.end(), same);
      if (it == written_.end()) {
        refused = refused || MimeProp(PROP_ID(tag), *parsed_, context_, &lazy_).has_value();
        continue;
      }
      written_.erase(it, written_.end());
      dirty_ = true;
    }
    return refused ? MAPI_W_ERRORS_RETURNED : S_OK;
  }

  HRESULT SaveChanges(std::uint32_t) override {
    if (!dirty_) return S_OK;
    if (!saver_) return MAPI_E_NO_ACCESS;
    HRESULT hr = saver_->SaveProps(written_);
    if (Succeeded(hr)) dirty_ = false;
    return hr;
  }

  Result<std::shared_ptr<Stream>> OpenProperty(PropTag tag, std::uint32_t flags) override {
    std::string initial;
    if (!(flags & MAPI_CREATE)) {
      std::optional<PropValue> v = Find(PROP_ID(tag));
      if (!v) return MAPI_E_NOT_FOUND;
      initial = ValueBytes(std::move(*v));
    }
    if (!(flags & (MAPI_MODIFY | MAPI_CREATE))) {
      return Ok(std::shared_ptr<Stream>(std::make_shared<MemoryStream>(std::move(initial))));
    }
    if (IsComputed(tag)) return MAPI_E_NO_ACCESS;
    std::weak_ptr<MimeMapiMessage> weak = weak_from_this();
    auto commit = [weak, tag](const std::string& bytes) -> HRESULT {
      auto self = weak.lock();
      if (!self) return MAPI_E_OBJECT_DELETED;
      PropValue v = PROP_TYPE(tag) == PT_STRING8 ? PropValue::String8(tag, bytes)
                                                 : PropValue::Bin(tag, bytes);
      return self->SetProps(std::span<const PropValue>(&v, 1));
    };
    return Ok(std::shared_ptr<Stream>(std::make_shared<MemoryStream>(std::move(initial), commit)));
  }

  Result<std::vector<PropTag>> GetIDsFromNames(std::span<const PropName>, std::uint32_t) override {
    return MAPI_E_NO_SUPPORT;
  }

  Result<std::shared_ptr<Table>> GetRecipientTable(std::uint32_t) override {
    std::vector<std::vector<PropValue>> rows;
    std::int32_t rowId = 0;
    for (const MimeRecipient& r : parsed_->recipients) {
      rows.push_back({PropValue::Long(PR_ROWID, rowId++),
                      PropValue::Long(PR_RECIPIENT_TYPE, r.type),
                      PropValue::String8(PR_DISPLAY_NAME, r.mailbox.name),
                      PropValue::String8(PR_EMAIL_ADDRESS, r.mailbox.address),
                      PropValue::String8(PR_ADDRTYPE, "SMTP"),
                      PropValue::ULong(PR_OBJECT_TYPE, MAPI_MAILUSER)});
      if (!r.mailbox.nameUtf8.empty()) {
        rows.back().push_back(
            PropValue::Unicode(PR_UNICODE_DISPLAY_NAME, platform::Utf8ToWide(r.mailbox.nameUtf8)));
      }
    }
    std::vector<PropTag> columns = {PR_ROWID, PR_RECIPIENT_TYPE, PR_DISPLAY_NAME, PR_EMAIL_ADDRESS,
                                    PR_ADDRTYPE};
    return Ok(std::shared_ptr<Table>(std::make_shared<RowTable>(std::move(rows), columns)));
  }

  Result<std::shared_ptr<Table>> GetAttachmentTable(std::uint32_t) override {
    std::vector<std::vector<PropValue>> rows;
    for (std::size_t i = 0; i < parsed_->attachments.size(); ++i) {
      rows.push_back(MimeAttachProps(*parsed_, i));
    }
    std::vector<PropTag> columns = {PR_ATTACH_NUM, PR_ATTACH_LONG_FILENAME, PR_ATTACH_FILENAME,
                                    PR_ATTACH_FLAGS, PR_ATTACH_MIME_TAG};
    return Ok(std::shared_ptr<Table>(std::make_shared<RowTable>(std::move(rows), columns)));
  }

  Result<std::shared_ptr<Attach>> OpenAttach(std::uint32_t attachNum, std::uint32_t) override {
    if (attachNum >= parsed_->attachments.size()) return MAPI_E_NOT_FOUND;
    return Ok(std::shared_ptr<Attach>(std::make_shared<MimeAttach>(parsed_, attachNum)));
  }
  Result<std::shared_ptr<Attach>> CreateAttach(std::uint32_t) override { return MAPI_E_NO_ACCESS; }
  HRESULT DeleteAttach(std::uint32_t, std::uint32_t) override { return MAPI_E_NO_ACCESS; }
  HRESULT ModifyRecipients(std::uint32_t, const RowSet&) override { return MAPI_E_NO_ACCESS; }

  HRESULT SetReadFlag(std::uint32_t flags) override {
    if (flags & GENERATE_RECEIPT_ONLY) return S_OK;
    bool read = !(flags & CLEAR_READ_FLAG);
    if (saver_) {
      HRESULT hr = saver_->SetRead(read);
      if (Failed(hr)) return hr;
    }
    context_.storeFlags =
        read ? (context_.storeFlags | MSGFLAG_READ) : (context_.storeFlags & ~MSGFLAG_READ);
    return S_OK;
  }

 private:
  std::optional<PropValue> Find(std::uint32_t id) {
    PropTag any = PROP_TAG(PT_UNSPECIFIED, id);
    if (const PropValue* v = FindPropId(context_.identity, any)) return *v;
    if (const PropValue* v = FindPropId(written_, any)) return *v;
    return MimeProp(id, *parsed_, context_, &lazy_);
  }

  std::shared_ptr<const MimeMessage> parsed_;
  MimeMessageContext context_;
  std::shared_ptr<MimeMessageSaver> saver_;
  std::vector<PropValue> written_;  // saved earlier plus SetProps since
  bool dirty_ = false;
  MimeLazy lazy_;
};

}  // namespace

std::shared_ptr<Message> OpenMimeMessage(MimeMessage parsed, MimeMessageContext context,
                                         std::shared_ptr<MimeMessageSaver> saver) {
  return std::make_shared<MimeMapiMessage>(std::move(parsed), std::move(context), std::move(saver));
}

Result<std::shared_ptr<Message>> OpenMimeMessageFile(const std::string& path,
                                                     MimeMessageContext context,
                                                     std::string* boundsNote) {
  MimeMessage parsed;
  std::uint64_t size = 0;
  if (const platform::FileStatus read =
          ReadMimeFile(platform::RealFileSystem(), path, &parsed, &size);
      !read.ok()) {
    return read.code() == ENOENT || read.code() == ENOTDIR ? MAPI_E_NOT_FOUND : MAPI_E_DISK_ERROR;
  }
  if (boundsNote != nullptr) *boundsNote = parsed.boundsNote;
  context.size = size;
  return Ok(OpenMimeMessage(std::move(parsed), std::move(context)));
}

std::shared_ptr<Message> OpenMimeMessageBytes(std::string_view bytes,
                                              const std::string& accountAddress,
                                              std::string* boundsNote) {
  MimeMessageContext context;
  context.accountAddress = accountAddress;
  context.size = bytes.size();
  MimeMessage parsed = ParseMime(bytes);
  if (boundsNote != nullptr) *boundsNote = parsed.boundsNote;
  return OpenMimeMessage(std::move(parsed), std::move(context));
}

}  // namespace quorvel::mapi
