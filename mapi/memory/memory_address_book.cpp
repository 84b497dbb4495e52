#include "mapi/memory/objects.h"

namespace quorvel::mapi::memory {
namespace {

const std::vector<PropTag> kAbContentsColumns = {PR_ENTRYID, PR_OBJECT_TYPE, PR_DISPLAY_NAME,
                                                 PR_EMAIL_ADDRESS, PR_ADDRTYPE};
const std::vector<PropTag> kAbHierarchyColumns = {PR_ENTRYID, PR_OBJECT_TYPE, PR_DISPLAY_NAME,
                                                  PR_DEPTH};

PropMap WithIdentity(PropMap props, const EntryId& id, std::uint32_t objectType) {
  props[PROP_ID(PR_ENTRYID)] = PropValue::Id(PR_ENTRYID, id);
  props[PROP_ID(PR_OBJECT_TYPE)] = PropValue::ULong(PR_OBJECT_TYPE, objectType);
  props[PROP_ID(PR_RECORD_KEY)] = PropValue::Bin(PR_RECORD_KEY, std::string(id.bytes()));
  return props;
}

class MemoryAbContainer final : public PropObject<AbContainer>,
                                public std::enable_shared_from_this<MemoryAbContainer> {
 public:
  MemoryAbContainer(std::shared_ptr<World> world, EntryId id)
      : PropObject(std::move(world), std::move(id)) {}
  std::uint32_t ObjectType() const override { return MAPI_ABCONT; }
  HRESULT SaveChanges(std::uint32_t) override { return Check(Call::kSaveChanges); }

  Result<std::shared_ptr<Table>> GetContentsTable(std::uint32_t) override {
    if (HRESULT hr = Check(Call::kGetContentsTable); Failed(hr)) return hr;
    std::vector<std::vector<PropValue>> rows;
    {
      std::lock_guard lock(world_->mutex);
      auto it = world_->abContainers.find(target_);
      if (it != world_->abContainers.end()) {
        for (const auto& id : it->second.entries) {
          const AbEntryData& entry = world_->abEntries.at(id);
          rows.push_back(RowOf(WithIdentity(entry.props, id, MAPI_MAILUSER)));
        }
      }
    }
    return Ok(MakeTable(world_, target_, std::move(rows), kAbContentsColumns));
  }

  Result<std::shared_ptr<Table>> GetHierarchyTable(std::uint32_t) override {
    if (HRESULT hr = Check(Call::kGetHierarchyTable); Failed(hr)) return hr;
    std::vector<std::vector<PropValue>> rows;
    {
      std::lock_guard lock(world_->mutex);
      if (target_ == world_->abRoot) {
        for (const auto& id : world_->abContainerOrder) {
          PropMap props = WithIdentity(world_->abContainers.at(id).props, id, MAPI_ABCONT);
          props[PROP_ID(PR_DEPTH)] = PropValue::Long(PR_DEPTH, 1);
          rows.push_back(RowOf(props));
        }
      }
    }
    return Ok(MakeTable(world_, target_, std::move(rows), kAbHierarchyColumns));
  }

 private:
  Result<PropMap> Snapshot() override {
    std::lock_guard lock(world_->mutex);
    if (target_ == world_->abRoot) return Ok(WithIdentity({}, target_, MAPI_ABCONT));
    auto it = world_->abContainers.find(target_);
    if (it == world_->abContainers.end()) return MAPI_E_OBJECT_DELETED;
    return Ok(WithIdentity(it->second.props, target_, MAPI_ABCONT));
  }
  HRESULT Edit(const std::function<void(PropMap&)>&) override { return MAPI_E_NO_ACCESS; }
  std::shared_ptr<void> SelfForStreams() override { return shared_from_this(); }
};

class MemoryMailUser final : public PropObject<MailUser>,
                             public std::enable_shared_from_this<MemoryMailUser> {
 public:
  MemoryMailUser(std::shared_ptr<World> world, EntryId id)
      : PropObject(std::move(world), std::move(id)) {}
  std::uint32_t ObjectType() const override { return MAPI_MAILUSER; }
  HRESULT SaveChanges(std::uint32_t) override { return MAPI_E_NO_ACCESS; }

 private:
  Result<PropMap> Snapshot() override {
    std::lock_guard lock(world_->mutex);
    auto it = world_->abEntries.find(target_);
    if (it == world_->abEntries.end()) return MAPI_E_OBJECT_DELETED;
    return Ok(WithIdentity(it->second.props, target_, MAPI_MAILUSER));
  }
  HRESULT Edit(const std::function<void(PropMap&)>&) override { return MAPI_E_NO_ACCESS; }
  std::shared_ptr<void> SelfForStreams() override { return shared_from_this(); }
};

}  // namespace

Result<OpenedEntry> MemoryAddressBook::OpenEntry(const EntryId& id, std::uint32_t) {
  EntryId wanted = id;
  {
    std::lock_guard lock(world_->mutex);
    if (!world_->alive) return MAPI_E_END_OF_SESSION;
    if (id.empty()) wanted = world_->abRoot;
  }
  if (HRESULT hr = world_->faults.Check(Call::kOpenEntry, wanted); Failed(hr)) return hr;
  std::lock_guard lock(world_->mutex);
  if (wanted == world_->abRoot || world_->abContainers.contains(wanted)) {
    return Ok(OpenedEntry{MAPI_ABCONT, std::make_shared<MemoryAbContainer>(world_, wanted)});
  }
  if (world_->abEntries.contains(wanted)) {
    return Ok(OpenedEntry{MAPI_MAILUSER, std::make_shared<MemoryMailUser>(world_, wanted)});
  }
  return MAPI_E_NOT_FOUND;
}

}  // namespace quorvel::mapi::memory
