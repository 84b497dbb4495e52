// EntryId: an entry identifier, an opaque byte string naming a store, folder, message
// or address-book object. Copies share their bytes (reference-counted, immutable), so
// ids are cheap to keep in queues and maps. An id may be absent (default-constructed),
// which is different from a present id of zero bytes.
//
// Ordering: absent first, then shorter before longer, then bytewise (unsigned).
// Thread-safety: an EntryId is immutable; copies may be used from any thread.
#ifndef QUORVEL_MAPI_ENTRY_ID_H_
#define QUORVEL_MAPI_ENTRY_ID_H_

#include <compare>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace quorvel::mapi {

class EntryId {
 public:
  EntryId() = default;  // absent
  explicit EntryId(std::string bytes)
      : bytes_(std::make_shared<const std::string>(std::move(bytes))) {}
  explicit EntryId(std::string_view bytes) : EntryId(std::string(bytes)) {}
  explicit EntryId(const char* bytes) = delete;  // say which: bytes or hex

  bool present() const { return bytes_ != nullptr; }
  bool empty() const { return !bytes_ || bytes_->empty(); }
  std::size_t size() const { return bytes_ ? bytes_->size() : 0; }
  // The bytes; empty for an absent id.
  std::string_view bytes() const { return bytes_ ? std::string_view(*bytes_) : std::string_view(); }

  // Upper-case hexadecimal text, two digits per byte ("" for an absent or empty id).
  std::string ToHex() const;
  // Parses hexadecimal text (either case). Odd length or a non-hex digit gives
  // nothing. "" gives a present, empty id.
  static std::optional<EntryId> FromHex(std::string_view hex);

  friend bool operator==(const EntryId& a, const EntryId& b);
  friend std::strong_ordering operator<=>(const EntryId& a, const EntryId& b);

 private:
  std::shared_ptr<const std::string> bytes_;
};

// Hexadecimal text of any byte string, upper case.
std::string BytesToHex(std::string_view bytes);
// Bytes of hexadecimal text; nothing for odd length or a non-hex digit.
std::optional<std::string> HexToBytes(std::string_view hex);

struct EntryIdHash {
  std::size_t operator()(const EntryId& id) const noexcept;
};

}  // namespace quorvel::mapi

#endif  // QUORVEL_MAPI_ENTRY_ID_H_
