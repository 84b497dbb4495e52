#include "mapi/memory/prop_object.h"

#include <algorithm>

#include "mapi/row_table.h"

namespace quorvel::mapi::memory {
namespace {

constexpr std::uint32_t kComputedIds[] = {
    PROP_ID(PR_ENTRYID),       PROP_ID(PR_PARENT_ENTRYID), PROP_ID(PR_STORE_ENTRYID),
    PROP_ID(PR_OBJECT_TYPE),   PROP_ID(PR_RECORD_KEY),     PROP_ID(PR_INSTANCE_KEY),
    PROP_ID(PR_CONTENT_COUNT), PROP_ID(PR_CONTENT_UNREAD), PROP_ID(PR_SUBFOLDERS),
    PROP_ID(PR_HASATTACH),     PROP_ID(PR_ATTACH_NUM),     PROP_ID(PR_DEPTH),
};

std::size_t ValueSize(const PropValue& v) {
  if (auto s = v.AsString8()) return s->size();
  if (auto w = v.AsUnicode()) return w->size() * 2;
  if (auto b = v.AsBinary()) return b->bytes.size();
  return 0;
}

// The bytes a stream shows for a value: 8-bit text, UTF-16LE text or binary.
std::string StreamBytes(const PropValue& v) {
  if (auto s = v.AsString8()) return *s;
  if (auto b = v.AsBinary()) return b->bytes;
  if (auto w = v.AsUnicode()) {
    std::string bytes;
    for (char16_t c : *w) {
      bytes.push_back(static_cast<char>(c & 0xFF));
      bytes.push_back(static_cast<char>(c >> 8));
    }
    return bytes;
  }
  return {};
}

PropValue ValueFromBytes(PropTag tag, const std::string& bytes) {
  switch (PROP_TYPE(tag)) {
    case PT_STRING8:
      return PropValue::String8(tag, bytes);
    case PT_UNICODE: {
      std::u16string w;
      for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        w.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                          (static_cast<unsigned char>(bytes[i + 1]) << 8)));
      }
      return PropValue::Unicode(tag, std::move(w));
    }
    default:
      return PropValue::Bin(tag, bytes);
  }
}

// A property stream whose calls can be made to fail.
class PropStream final : public Stream {
 public:
  PropStream(std::shared_ptr<World> world, EntryId target, std::string bytes,
             MemoryStream::CommitFn commit)
      : world_(std::move(world)),
        target_(std::move(target)),
        inner_(std::move(bytes), std::move(commit)) {}

  HRESULT Read(void* buffer, std::size_t size, std::size_t* read) override {
    if (HRESULT hr = world_->faults.Check(Call::kStreamRead, target_); Failed(hr)) {
      if (read) *read = 0;
      return hr;
    }
    return inner_.Read(buffer, size, read);
  }
  HRESULT Write(const void* data, std::size_t size, std::size_t* written) override {
    if (HRESULT hr = world_->faults.Check(Call::kStreamWrite, target_); Failed(hr)) return hr;
    return inner_.Write(data, size, written);
  }
  HRESULT Seek(std::int64_t offset, SeekOrigin origin, std::uint64_t* position) override {
    return inner_.Seek(offset, origin, position);
  }
  HRESULT SetSize(std::uint64_t size) override { return inner_.SetSize(size); }
  HRESULT Commit(std::uint32_t flags) override {
    if (HRESULT hr = world_->faults.Check(Call::kStreamCommit, target_); Failed(hr)) return hr;
    return inner_.Commit(flags);
  }
  Result<std::uint64_t> Stat() override { return inner_.Stat(); }

 private:
  std::shared_ptr<World> world_;
  EntryId target_;
  MemoryStream inner_;
};

}  // namespace

bool IsComputedProp(std::uint32_t propId) {
  return std::find(std::begin(kComputedIds), std::end(kComputedIds), propId) !=
         std::end(kComputedIds);
}

Result<std::vector<PropValue>> ReadProps(World& world, const EntryId& target, const PropMap& all,
                                         std::span<const PropTag> tags, std::size_t largeLimit) {
  std::vector<PropValue> values;
  values.reserve(tags.size());
  bool errors = false;
  for (PropTag tag : tags) {
    if (auto forced = world.faults.OverrideFor(target, tag)) {
      values.push_back(std::move(*forced));
    } else {
      auto it = all.find(PROP_ID(tag));
      PropValue v = ValueForTag(it == all.end() ? nullptr : &it->second, tag);
      if (largeLimit > 0 && !v.IsError() && ValueSize(v) > largeLimit) {
        v = PropValue::Error(tag, MAPI_E_NOT_ENOUGH_MEMORY);
      }
      values.push_back(std::move(v));
    }
    errors = errors || values.back().IsError();
  }
  return Result<std::vector<PropValue>>(errors ? MAPI_W_ERRORS_RETURNED : S_OK, std::move(values));
}

std::vector<PropValue> RowOf(const PropMap& props) {
  std::vector<PropValue> row;
  row.reserve(props.size());
  for (const auto& [id, value] : props) row.push_back(value);
  return row;
}

Result<std::shared_ptr<Stream>> OpenPropStream(std::shared_ptr<World> world, const EntryId& target,
                                               const PropValue* current, PropTag tag,
                                               std::uint32_t flags,
                                               std::function<HRESULT(PropValue)> commit) {
  std::uint32_t type = PROP_TYPE(tag);
  if (type != PT_BINARY && type != PT_STRING8 && type != PT_UNICODE) return MAPI_E_NO_SUPPORT;
  std::string bytes;
  bool create = (flags & MAPI_CREATE) != 0;
  if (!create) {
    if (current == nullptr) return MAPI_E_NOT_FOUND;
    if (current->IsError()) return current->ErrorCode();
    PropValue v = ValueForTag(current, tag);
    if (v.IsError()) return MAPI_E_NOT_FOUND;
    bytes = StreamBytes(v);
  }
  MemoryStream::CommitFn onCommit;
  if (flags & (MAPI_MODIFY | MAPI_CREATE)) {
    onCommit = [tag, commit = std::move(commit)](const std::string& data) {
      return commit(ValueFromBytes(tag, data));
    };
  }
  return Ok<std::shared_ptr<Stream>>(std::make_shared<PropStream>(
      std::move(world), target, std::move(bytes), std::move(onCommit)));
}

std::shared_ptr<Table> MakeTable(std::shared_ptr<World> world, EntryId target,
                                 std::vector<std::vector<PropValue>> rows,
                                 std::vector<PropTag> defaultColumns) {
  auto hook = [world, target](RowTable::Op op) {
    static constexpr Call kCalls[] = {Call::kSetColumns, Call::kRestrict, Call::kSeekRow,
                                      Call::kQueryRows, Call::kGetRowCount};
    return world->faults.Check(kCalls[static_cast<int>(op)], target);
  };
  return std::make_shared<RowTable>(std::move(rows), std::move(defaultColumns), hook);
}

Result<std::vector<PropTag>> NamesToIds(World& world, std::span<const PropName> names,
                                        std::uint32_t flags) {
  std::lock_guard lock(world.mutex);
  std::vector<PropTag> tags;
  bool errors = false;
  for (const auto& name : names) {
    auto it = std::find(world.namedProps.begin(), world.namedProps.end(), name);
    std::size_t index = static_cast<std::size_t>(it - world.namedProps.begin());
    if (it == world.namedProps.end()) {
      if ((flags & MAPI_CREATE) == 0 || world.namedProps.size() >= 0x7FFE) {
        tags.push_back(PROP_TAG(PT_ERROR, 0));
        errors = true;
        continue;
      }
      world.namedProps.push_back(name);
    }
    tags.push_back(PROP_TAG(PT_UNSPECIFIED, 0x8000 + static_cast<std::uint32_t>(index)));
  }
  return Result<std::vector<PropTag>>(errors ? MAPI_W_ERRORS_RETURNED : S_OK, std::move(tags));
}

}  // namespace quorvel::mapi::memory
