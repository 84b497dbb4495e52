#include "mapi/prop_value.h"

#include <utility>

#include "platform/code_page.h"

namespace quorvel::mapi {
namespace {

PropValue Make(PropTag tag, std::uint32_t type, PropValue::Value v) {
  PropValue p;
  p.tag = CHANGE_PROP_TYPE(tag, type);
  p.value = std::move(v);
  return p;
}

}  // namespace

PropValue PropValue::Long(PropTag tag, std::int32_t v) { return Make(tag, PT_LONG, v); }
PropValue PropValue::Boolean(PropTag tag, bool v) { return Make(tag, PT_BOOLEAN, v); }
PropValue PropValue::String8(PropTag tag, std::string v) {
  return Make(tag, PT_STRING8, std::move(v));
}
PropValue PropValue::Unicode(PropTag tag, std::u16string v) {
  return Make(tag, PT_UNICODE, std::move(v));
}
PropValue PropValue::Bin(PropTag tag, std::string bytes) {
  return Make(tag, PT_BINARY, Binary{std::move(bytes)});
}
PropValue PropValue::Time(PropTag tag, std::uint64_t fileTime) {
  return Make(tag, PT_SYSTIME, SysTime{fileTime});
}
PropValue PropValue::I8(PropTag tag, std::int64_t v) { return Make(tag, PT_I8, v); }
PropValue PropValue::Error(PropTag tag, HRESULT code) {
  return Make(tag, PT_ERROR, ErrorValue{code});
}

HRESULT PropValue::ErrorCode() const {
  const auto* e = std::get_if<ErrorValue>(&value);
  return e ? e->code : S_OK;
}

EntryId PropValue::AsEntryId() const {
  const Binary* b = AsBinary();
  return b ? EntryId(b->bytes) : EntryId();
}

PropValue ValueForTag(PropValue&& stored, PropTag requested) {
  const std::uint32_t want = PROP_TYPE(requested);
  if (want == PT_UNSPECIFIED || want == stored.type() || stored.IsError()) {
    PropValue v = std::move(stored);
    if (!v.IsError())
      v.tag = CHANGE_PROP_TYPE(requested, v.type());
    else
      v.tag = PROP_TAG(PT_ERROR, PROP_ID(requested));
    return v;
  }
  return ValueForTag(&stored, requested);
}

PropValue ValueForTag(const PropValue* stored, PropTag requested) {
  if (stored == nullptr) return PropValue::Error(requested, MAPI_E_NOT_FOUND);
  std::uint32_t want = PROP_TYPE(requested);
  if (want == PT_UNSPECIFIED || want == stored->type() || stored->IsError()) {
    PropValue v = *stored;
    if (!stored->IsError())
      v.tag = CHANGE_PROP_TYPE(requested, stored->type());
    else
      v.tag = PROP_TAG(PT_ERROR, PROP_ID(requested));
    return v;
  }
  if (want == PT_STRING8 && stored->AsUnicode()) {
    return PropValue::String8(requested, platform::WideToAnsi(*stored->AsUnicode()));
  }
  if (want == PT_UNICODE && stored->AsString8()) {
    return PropValue::Unicode(requested, platform::AnsiToWide(*stored->AsString8()));
  }
  return PropValue::Error(requested, MAPI_E_NOT_FOUND);
}

const PropValue* FindProp(const std::vector<PropValue>& values, PropTag tag) {
  for (const auto& v : values) {
    if (v.tag == tag) return &v;
  }
  return nullptr;
}

const PropValue* FindPropId(const std::vector<PropValue>& values, PropTag tag) {
  for (const auto& v : values) {
    if (PROP_ID(v.tag) == PROP_ID(tag)) return &v;
  }
  return nullptr;
}

std::string GetString8(const std::vector<PropValue>& values, PropTag tag,
                       std::string_view fallback) {
  const PropValue* p = FindProp(values, tag);
  const std::string* s = p ? p->AsString8() : nullptr;
  return s ? *s : std::string(fallback);
}

std::int32_t GetLong(const std::vector<PropValue>& values, PropTag tag, std::int32_t fallback) {
  const PropValue* p = FindProp(values, tag);
  const std::int32_t* l = p ? p->AsLong() : nullptr;
  return l ? *l : fallback;
}

bool GetBoolean(const std::vector<PropValue>& values, PropTag tag, bool fallback) {
  const PropValue* p = FindProp(values, tag);
  const bool* b = p ? p->AsBoolean() : nullptr;
  return b ? *b : fallback;
}

EntryId GetEntryId(const std::vector<PropValue>& values, PropTag tag) {
  const PropValue* p = FindProp(values, tag);
  return p ? p->AsEntryId() : EntryId();
}

}  // namespace quorvel::mapi
