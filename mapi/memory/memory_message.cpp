#include <algorithm>

#include "mapi/memory/objects.h"

namespace quorvel::mapi::memory {
namespace {

const std::vector<PropTag> kRecipientColumns = {PR_ROWID, PR_RECIPIENT_TYPE, PR_DISPLAY_NAME,
                                                PR_EMAIL_ADDRESS, PR_ADDRTYPE};
const std::vector<PropTag> kAttachmentColumns = {PR_ATTACH_NUM, PR_ATTACH_METHOD,
                                                 PR_ATTACH_LONG_FILENAME, PR_ATTACH_FILENAME};

Notification Event(std::uint32_t type, const MessageData& m) {
  Notification n;
  n.eventType = type;
  n.entryId = m.id;
  n.parentId = m.parent;
  n.objectType = MAPI_MESSAGE;
  return n;
}

std::int32_t RowIdOf(const PropMap& row) {
  auto it = row.find(PROP_ID(PR_ROWID));
  const std::int32_t* l = it == row.end() ? nullptr : it->second.AsLong();
  return l ? *l : -1;
}

PropMap ToMap(const Row& row) {
  PropMap map;
  for (const auto& v : row) {
    if (!v.IsError()) map[v.id()] = v;
  }
  return map;
}

}  // namespace

MemoryMessage::MemoryMessage(std::shared_ptr<World> world, MessageData copy, bool isNew,
                             std::uint32_t createFlags)
    : PropObject(std::move(world), copy.id),
      copy_(std::move(copy)),
      isNew_(isNew),
      createFlags_(createFlags) {}

Result<PropMap> MemoryMessage::Snapshot() { return Ok(world_->MessageProps(copy_)); }

HRESULT MemoryMessage::Edit(const std::function<void(PropMap&)>& edit) {
  edit(copy_.props);
  return S_OK;
}

std::size_t MemoryMessage::LargeLimit() {
  std::lock_guard lock(world_->mutex);
  auto it = world_->stores.find(copy_.store);
  return it == world_->stores.end() ? 0 : it->second.largePropertyLimit;
}

HRESULT MemoryMessage::SaveChanges(std::uint32_t) {
  if (HRESULT hr = Check(Call::kSaveChanges); Failed(hr)) return hr;
  std::lock_guard lock(world_->mutex);
  std::vector<Notification> events;
  if (isNew_) {
    auto folder = world_->folders.find(copy_.parent);
    if (folder == world_->folders.end()) return MAPI_E_OBJECT_DELETED;
    folder->second.messages.push_back(copy_.id);
    world_->messages[copy_.id] = copy_;
    isNew_ = false;
    events.push_back(Event(fnevObjectCreated, copy_));
    if (createFlags_ & kDeliverAsNewMail) {
      Notification n = Event(fnevNewMail, copy_);
      PropMap props = world_->MessageProps(copy_);
      if (auto* cls = props[PROP_ID(PR_MESSAGE_CLASS)].AsString8()) n.messageClass = *cls;
      if (auto* flags = props[PROP_ID(PR_MESSAGE_FLAGS)].AsLong()) {
        n.messageFlags = static_cast<std::uint32_t>(*flags);
      }
      if (world_->stores.at(copy_.store).shortTermNewMailIds) {
        n.entryId = world_->ShortTerm(copy_.id);
        n.parentId = world_->ShortTerm(copy_.parent);
      }
      events.push_back(std::move(n));
    }
  } else {
    auto it = world_->messages.find(copy_.id);
    if (it == world_->messages.end()) return MAPI_E_OBJECT_DELETED;
    copy_.parent = it->second.parent;  // it may have moved meanwhile
    it->second = copy_;
    events.push_back(Event(fnevObjectModified, copy_));
  }
  world_->Notify(copy_.store, events);
  return S_OK;
}

Result<std::shared_ptr<Table>> MemoryMessage::GetRecipientTable(std::uint32_t) {
  if (HRESULT hr = Check(Call::kGetRecipientTable); Failed(hr)) return hr;
  std::vector<std::vector<PropValue>> rows;
  for (const auto& r : copy_.recipients) rows.push_back(RowOf(r));
  return Ok(MakeTable(world_, target_, std::move(rows), kRecipientColumns));
}

Result<std::shared_ptr<Table>> MemoryMessage::GetAttachmentTable(std::uint32_t) {
  if (HRESULT hr = Check(Call::kGetAttachmentTable); Failed(hr)) return hr;
  std::vector<std::vector<PropValue>> rows;
  for (const auto& [num, attach] : copy_.attachments) {
    PropMap props = attach.props;
    props.erase(PROP_ID(PR_ATTACH_DATA_BIN));  // contents are read through OpenAttach
    rows.push_back(RowOf(props));
  }
  return Ok(MakeTable(world_, target_, std::move(rows), kAttachmentColumns));
}

Result<std::shared_ptr<Attach>> MemoryMessage::OpenAttach(std::uint32_t attachNum, std::uint32_t) {
  if (HRESULT hr = Check(Call::kOpenAttach); Failed(hr)) return hr;
  auto it = copy_.attachments.find(attachNum);
  if (it == copy_.attachments.end()) return MAPI_E_NOT_FOUND;
  return Ok<std::shared_ptr<Attach>>(
      std::make_shared<MemoryAttach>(world_, shared_from_this(), attachNum, it->second));
}

Result<std::shared_ptr<Attach>> MemoryMessage::CreateAttach(std::uint32_t) {
  if (HRESULT hr = Check(Call::kCreateAttach); Failed(hr)) return hr;
  std::uint32_t num = copy_.nextAttachNum++;
  AttachData data;
  data.props[PROP_ID(PR_ATTACH_NUM)] = PropValue::ULong(PR_ATTACH_NUM, num);
  return Ok<std::shared_ptr<Attach>>(
      std::make_shared<MemoryAttach>(world_, shared_from_this(), num, std::move(data)));
}

HRESULT MemoryMessage::DeleteAttach(std::uint32_t attachNum, std::uint32_t) {
  if (HRESULT hr = Check(Call::kDeleteAttach); Failed(hr)) return hr;
  return copy_.attachments.erase(attachNum) ? S_OK : MAPI_E_NOT_FOUND;
}

void MemoryMessage::PutAttachment(std::uint32_t num, AttachData data) {
  data.props[PROP_ID(PR_ATTACH_NUM)] = PropValue::ULong(PR_ATTACH_NUM, num);
  copy_.attachments[num] = std::move(data);
}

HRESULT MemoryMessage::ModifyRecipients(std::uint32_t flags, const RowSet& rows) {
  if (HRESULT hr = Check(Call::kModifyRecipients); Failed(hr)) return hr;
  auto withNewRowId = [&](const Row& row) {
    PropMap map = ToMap(row);
    map[PROP_ID(PR_ROWID)] = PropValue::ULong(PR_ROWID, copy_.nextRowId++);
    return map;
  };
  if (flags == 0) {
    copy_.recipients.clear();
    for (const auto& row : rows) copy_.recipients.push_back(withNewRowId(row));
    return S_OK;
  }
  if (flags & MODRECIP_ADD) {
    for (const auto& row : rows) copy_.recipients.push_back(withNewRowId(row));
    return S_OK;
  }
  for (const auto& row : rows) {
    PropMap map = ToMap(row);
    std::int32_t rowId = RowIdOf(map);
    auto it = std::find_if(copy_.recipients.begin(), copy_.recipients.end(),
                           [&](const PropMap& r) { return RowIdOf(r) == rowId; });
    if (rowId < 0 || it == copy_.recipients.end()) return MAPI_E_NOT_FOUND;
    if (flags & MODRECIP_REMOVE) {
      copy_.recipients.erase(it);
    } else if (flags & MODRECIP_MODIFY) {
      *it = std::move(map);
    } else {
      return MAPI_E_INVALID_PARAMETER;
    }
  }
  return S_OK;
}

HRESULT MemoryMessage::SetReadFlag(std::uint32_t flags) {
  if (HRESULT hr = Check(Call::kSetReadFlag); Failed(hr)) return hr;
  auto apply = [flags](PropMap& props) {
    auto it = props.find(PROP_ID(PR_MESSAGE_FLAGS));
    std::int32_t value = (it != props.end() && it->second.AsLong()) ? *it->second.AsLong() : 0;
    if (flags & CLEAR_READ_FLAG) {
      value &= ~static_cast<std::int32_t>(MSGFLAG_READ);
    } else {
      value |= MSGFLAG_READ;
    }
    props[PROP_ID(PR_MESSAGE_FLAGS)] = PropValue::Long(PR_MESSAGE_FLAGS, value);
  };
  apply(copy_.props);
  if (isNew_) return S_OK;
  std::lock_guard lock(world_->mutex);
  auto it = world_->messages.find(copy_.id);
  if (it == world_->messages.end()) return MAPI_E_OBJECT_DELETED;
  apply(it->second.props);
  world_->Notify(copy_.store, {Event(fnevObjectModified, it->second)});
  return S_OK;
}

MemoryAttach::MemoryAttach(std::shared_ptr<World> world, std::shared_ptr<MemoryMessage> message,
                           std::uint32_t num, AttachData copy)
    : PropObject(std::move(world), message->id()),
      message_(std::move(message)),
      num_(num),
      copy_(std::move(copy)) {}

Result<PropMap> MemoryAttach::Snapshot() {
  PropMap props = copy_.props;
  props[PROP_ID(PR_ATTACH_NUM)] = PropValue::ULong(PR_ATTACH_NUM, num_);
  props[PROP_ID(PR_OBJECT_TYPE)] = PropValue::Long(PR_OBJECT_TYPE, MAPI_ATTACH);
  return Ok(std::move(props));
}

HRESULT MemoryAttach::Edit(const std::function<void(PropMap&)>& edit) {
  edit(copy_.props);
  return S_OK;
}

HRESULT MemoryAttach::SaveChanges(std::uint32_t) {
  if (HRESULT hr = Check(Call::kSaveChanges); Failed(hr)) return hr;
  message_->PutAttachment(num_, copy_);
  return S_OK;
}

}  // namespace quorvel::mapi::memory
