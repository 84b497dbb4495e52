// PropValue: one property value under its tag, as GetProps returns and SetProps
// takes it. The value's C++ type follows the tag's property type:
//   PT_LONG -> std::int32_t     PT_BOOLEAN -> bool        PT_STRING8 -> std::string
//   PT_UNICODE -> std::u16string  PT_BINARY -> Binary     PT_SYSTIME -> SysTime
//   PT_I8 -> std::int64_t       PT_ERROR -> ErrorValue    anything else -> std::monostate
// A property an object lacks comes back as PROP_TAG(PT_ERROR, id) with MAPI_E_NOT_FOUND.
#ifndef QUORVEL_MAPI_PROP_VALUE_H_
#define QUORVEL_MAPI_PROP_VALUE_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "mapi/entry_id.h"
#include "mapi/tags.h"

namespace quorvel::mapi {

// Bytes of a PT_BINARY value (kept apart from std::string, which is PT_STRING8).
struct Binary {
  std::string bytes;
  friend bool operator==(const Binary&, const Binary&) = default;
};
// A PT_SYSTIME value: 100-nanosecond units since 1601-01-01 UTC.
struct SysTime {
  std::uint64_t fileTime = 0;
  friend bool operator==(const SysTime&, const SysTime&) = default;
};
// A PT_ERROR value: why the property could not be returned.
struct ErrorValue {
  HRESULT code = MAPI_E_NOT_FOUND;
  friend bool operator==(const ErrorValue&, const ErrorValue&) = default;
};

struct PropValue {
  using Value = std::variant<std::monostate, std::int32_t, bool, std::string, std::u16string,
                             Binary, SysTime, std::int64_t, ErrorValue>;
  PropTag tag = PROP_TAG(PT_NULL, 0);
  Value value;

  // Constructors for each type; the tag's type part is set to match.
  static PropValue Long(PropTag tag, std::int32_t v);
  static PropValue ULong(PropTag tag, std::uint32_t v) {
    return Long(tag, static_cast<std::int32_t>(v));
  }
  static PropValue Boolean(PropTag tag, bool v);
  static PropValue String8(PropTag tag, std::string v);
  static PropValue Unicode(PropTag tag, std::u16string v);
  static PropValue Bin(PropTag tag, std::string bytes);
  static PropValue Id(PropTag tag, const EntryId& id) { return Bin(tag, std::string(id.bytes())); }
  static PropValue Time(PropTag tag, std::uint64_t fileTime);
  static PropValue I8(PropTag tag, std::int64_t v);
  // PROP_TAG(PT_ERROR, PROP_ID(tag)) carrying `code`.
  static PropValue Error(PropTag tag, HRESULT code = MAPI_E_NOT_FOUND);

  std::uint32_t type() const { return PROP_TYPE(tag); }
  std::uint32_t id() const { return PROP_ID(tag); }
  bool IsError() const { return PROP_TYPE(tag) == PT_ERROR; }
  // The error code of a PT_ERROR value; S_OK for any other value.
  HRESULT ErrorCode() const;

  // Typed access: a pointer to the value when it holds that type, else nullptr.
  const std::int32_t* AsLong() const { return std::get_if<std::int32_t>(&value); }
  const bool* AsBoolean() const { return std::get_if<bool>(&value); }
  const std::string* AsString8() const { return std::get_if<std::string>(&value); }
  const std::u16string* AsUnicode() const { return std::get_if<std::u16string>(&value); }
  const Binary* AsBinary() const { return std::get_if<Binary>(&value); }
  const SysTime* AsTime() const { return std::get_if<SysTime>(&value); }
  const std::int64_t* AsI8() const { return std::get_if<std::int64_t>(&value); }
  // A PT_BINARY value as an entry id; absent when the value is not binary.
  EntryId AsEntryId() const;

  friend bool operator==(const PropValue&, const PropValue&) = default;
};

// One row of a table: its values in column order.
using Row = std::vector<PropValue>;
using RowSet = std::vector<Row>;

// The value under `tag` in a row or value list (exact tag match), or nullptr.
const PropValue* FindProp(const std::vector<PropValue>& values, PropTag tag);
// The value whose property id matches (any type, PT_ERROR included), or nullptr.
const PropValue* FindPropId(const std::vector<PropValue>& values, PropTag tag);

// What GetProps returns for `requested` given the stored value (nullptr: none): the
// stored value when the types match or `requested` is PT_UNSPECIFIED; a PT_STRING8 /
// PT_UNICODE value converted through the ANSI code page; a stored PT_ERROR value as
// it is; otherwise PROP_TAG(PT_ERROR, id) with MAPI_E_NOT_FOUND.
PropValue ValueForTag(const PropValue* stored, PropTag requested);
// The same, taking the stored value's contents (a body can be large) where it can.
PropValue ValueForTag(PropValue&& stored, PropTag requested);

// Convenience readers over a value list: the value when `tag` is there with that
// exact tag, else the fallback.
std::string GetString8(const std::vector<PropValue>& values, PropTag tag,
                       std::string_view fallback = {});
std::int32_t GetLong(const std::vector<PropValue>& values, PropTag tag, std::int32_t fallback = 0);
bool GetBoolean(const std::vector<PropValue>& values, PropTag tag, bool fallback = false);
EntryId GetEntryId(const std::vector<PropValue>& values, PropTag tag);

}  // namespace quorvel::mapi

#endif  // QUORVEL_MAPI_PROP_VALUE_H_
