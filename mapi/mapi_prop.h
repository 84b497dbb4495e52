// MapiProp: the property interface that stores, folders, messages, attachments and
// address-book entries share (modelled on IMAPIProp). Changes made with SetProps and
// DeleteProps become durable with SaveChanges. Objects are owned by shared_ptr; an
// object may outlive the session that opened it but then fails its calls.
// Thread-safety: one opened object belongs to one thread at a time; the store behind
// it is safe to use from many threads through separately opened objects.
#ifndef QUORVEL_MAPI_MAPI_PROP_H_
#define QUORVEL_MAPI_MAPI_PROP_H_

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "mapi/prop_value.h"
#include "mapi/result.h"
#include "mapi/stream.h"

namespace quorvel::mapi {

// A named property's name: a property set and either a number or a string.
struct PropName {
  std::array<std::uint8_t, 16> guid{};  // in storage order
  bool isString = false;
  std::uint32_t number = 0;  // when !isString (MNID_ID)
  std::string name;          // when isString (MNID_STRING)
  friend bool operator==(const PropName&, const PropName&) = default;
};

// {00062004-0000-0000-C000-000000000046}: the property set of contact items.
inline constexpr std::array<std::uint8_t, 16> PSETID_Address = {
    0x04, 0x20, 0x06, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
// Number of a contact's first e-mail address within PSETID_Address.
inline constexpr std::uint32_t kContactEmail1Number = 0x8083;

class MapiProp {
 public:
  virtual ~MapiProp() = default;

  // The object type (MAPI_STORE, MAPI_FOLDER, MAPI_MESSAGE, MAPI_ATTACH, ...).
  virtual std::uint32_t ObjectType() const = 0;

  // One value per requested tag, in order. A property the object lacks (or holds
  // under another type) comes back as PROP_TAG(PT_ERROR, id) with MAPI_E_NOT_FOUND,
  // and the call returns MAPI_W_ERRORS_RETURNED. A PT_UNSPECIFIED tag gets the
  // stored type; PT_STRING8 and PT_UNICODE convert into each other.
  virtual Result<std::vector<PropValue>> GetProps(std::span<const PropTag> tags,
                                                  std::uint32_t flags = 0) = 0;
  // The tags of every property the object has.
  virtual Result<std::vector<PropTag>> GetPropList(std::uint32_t flags = 0) = 0;
  // Sets values; computed properties (PR_ENTRYID, PR_OBJECT_TYPE, ...) are refused
  // with MAPI_E_NO_ACCESS in the returned problem list's place: the call then returns
  // MAPI_W_ERRORS_RETURNED.
  virtual HRESULT SetProps(std::span<const PropValue> values) = 0;
  virtual HRESULT DeleteProps(std::span<const PropTag> tags) = 0;
  // Makes the changes durable (KEEP_OPEN_READWRITE / KEEP_OPEN_READONLY / FORCE_SAVE).
  virtual HRESULT SaveChanges(std::uint32_t flags) = 0;
  // A stream on a PT_BINARY, PT_STRING8 or PT_UNICODE property. MAPI_CREATE starts it
  // empty, MAPI_MODIFY makes it writable; Commit then SaveChanges store the bytes.
  // A missing property without MAPI_CREATE is MAPI_E_NOT_FOUND.
  virtual Result<std::shared_ptr<Stream>> OpenProperty(PropTag tag, std::uint32_t flags) = 0;
  // Property tags (type PT_UNSPECIFIED) for named properties; with MAPI_CREATE missing
  // names get new ids (from 0x8000), without it they come back as PT_ERROR tags.
  virtual Result<std::vector<PropTag>> GetIDsFromNames(std::span<const PropName> names,
                                                       std::uint32_t flags) = 0;
};

// What OpenEntry gives: the object and its type. Callers check the type (a folder is
// MAPI_FOLDER, a message MAPI_MESSAGE) and take the interface with As<Folder>() etc.
struct OpenedEntry {
  std::uint32_t objectType = 0;
  std::shared_ptr<MapiProp> object;

  template <typename T>
  std::shared_ptr<T> As() const {
    return std::dynamic_pointer_cast<T>(object);
  }
};

}  // namespace quorvel::mapi

#endif  // QUORVEL_MAPI_MAPI_PROP_H_
