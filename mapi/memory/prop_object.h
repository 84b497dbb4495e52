// PropObject<Interface>: the MapiProp half of every in-memory object. A subclass says
// how to read all of its properties (stored and computed) and how to change them;
// this class adds faults, overrides, type conversion, the large-value limit, streams
// and named properties. Internal to mapi/memory.
#ifndef QUORVEL_MAPI_MEMORY_PROP_OBJECT_H_
#define QUORVEL_MAPI_MEMORY_PROP_OBJECT_H_

#include <functional>
#include <memory>
#include <span>
#include <utility>
#include <vector>

#include "mapi/memory/world.h"
#include "mapi/table.h"

namespace quorvel::mapi::memory {

// Whether a property id is computed by the store (refused by SetProps).
bool IsComputedProp(std::uint32_t propId);
// The values for `tags` from `all`, as GetProps returns them.
Result<std::vector<PropValue>> ReadProps(World& world, const EntryId& target, const PropMap& all,
                                         std::span<const PropTag> tags, std::size_t largeLimit);
// Every value of a property map, in id order (a table row).
std::vector<PropValue> RowOf(const PropMap& props);
// A stream on `current` (nullptr: none) whose Commit hands the bytes to `commit` as a
// value of `tag`'s type. Faults of the target apply to its reads, writes and commits.
Result<std::shared_ptr<Stream>> OpenPropStream(std::shared_ptr<World> world, const EntryId& target,
                                               const PropValue* current, PropTag tag,
                                               std::uint32_t flags,
                                               std::function<HRESULT(PropValue)> commit);
// A table over `rows` whose calls can be made to fail on `target`.
std::shared_ptr<Table> MakeTable(std::shared_ptr<World> world, EntryId target,
                                 std::vector<std::vector<PropValue>> rows,
                                 std::vector<PropTag> defaultColumns);
// Named property ids (see MapiProp::GetIDsFromNames). REQUIRES: world.mutex not held.
Result<std::vector<PropTag>> NamesToIds(World& world, std::span<const PropName> names,
                                        std::uint32_t flags);

template <typename Interface>
class PropObject : public Interface {
 public:
  Result<std::vector<PropValue>> GetProps(std::span<const PropTag> tags,
                                          std::uint32_t = 0) override {
    if (HRESULT hr = Check(Call::kGetProps); Failed(hr)) return hr;
    auto all = Snapshot();
    if (!all.ok()) return all.hr;
    return ReadProps(*world_, target_, *all, tags, LargeLimit());
  }

  Result<std::vector<PropTag>> GetPropList(std::uint32_t = 0) override {
    if (HRESULT hr = Check(Call::kGetPropList); Failed(hr)) return hr;
    auto all = Snapshot();
    if (!all.ok()) return all.hr;
    std::vector<PropTag> tags;
    for (const auto& [id, value] : *all) tags.push_back(value.tag);
    return Ok(std::move(tags));
  }

  HRESULT SetProps(std::span<const PropValue> values) override {
    if (HRESULT hr = Check(Call::kSetProps); Failed(hr)) return hr;
    bool refused = false;
    std::vector<PropValue> accepted;
    for (const auto& v : values) {
      if (IsComputedProp(PROP_ID(v.tag)) || PROP_ID(v.tag) == 0) {
        refused = true;
      } else {
        accepted.push_back(v);
      }
    }
    HRESULT hr = Edit([&](PropMap& props) {
      for (auto& v : accepted) props[PROP_ID(v.tag)] = v;
    });
    if (Failed(hr)) return hr;
    return refused ? MAPI_W_ERRORS_RETURNED : S_OK;
  }

  HRESULT DeleteProps(std::span<const PropTag> tags) override {
    if (HRESULT hr = Check(Call::kDeleteProps); Failed(hr)) return hr;
    return Edit([&](PropMap& props) {
      for (PropTag tag : tags) {
        if (!IsComputedProp(PROP_ID(tag))) props.erase(PROP_ID(tag));
      }
    });
  }

  Result<std::shared_ptr<Stream>> OpenProperty(PropTag tag, std::uint32_t flags) override {
    if (HRESULT hr = Check(Call::kOpenProperty); Failed(hr)) return hr;
    auto all = Snapshot();
    if (!all.ok()) return all.hr;
    auto it = all->find(PROP_ID(tag));
    const PropValue* current = it == all->end() ? nullptr : &it->second;
    auto self = SelfForStreams();
    return OpenPropStream(world_, target_, current, tag, flags, [self, this](PropValue v) {
      return Edit([&](PropMap& props) { props[v.id()] = std::move(v); });
    });
  }

  Result<std::vector<PropTag>> GetIDsFromNames(std::span<const PropName> names,
                                               std::uint32_t flags) override {
    if (HRESULT hr = Check(Call::kGetIDsFromNames); Failed(hr)) return hr;
    return NamesToIds(*world_, names, flags);
  }

 protected:
  PropObject(std::shared_ptr<World> world, EntryId target)
      : world_(std::move(world)), target_(std::move(target)) {}

  // Every property, stored and computed; fails when the object is gone.
  virtual Result<PropMap> Snapshot() = 0;
  // Applies an edit to the properties (working copy or store).
  virtual HRESULT Edit(const std::function<void(PropMap&)>& edit) = 0;
  virtual std::size_t LargeLimit() { return 0; }
  // Keeps this object alive while a stream of it is open.
  virtual std::shared_ptr<void> SelfForStreams() = 0;

  HRESULT Check(Call call) {
    {
      std::lock_guard lock(world_->mutex);
      if (!world_->alive) return MAPI_E_END_OF_SESSION;
    }
    return world_->faults.Check(call, target_);
  }

  std::shared_ptr<World> world_;
  EntryId target_;
};

}  // namespace quorvel::mapi::memory

#endif  // QUORVEL_MAPI_MEMORY_PROP_OBJECT_H_
