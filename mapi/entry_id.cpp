#include "mapi/entry_id.h"

#include <functional>

namespace quorvel::mapi {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

std::string BytesToHex(std::string_view bytes) {
  std::string hex;
  hex.reserve(bytes.size() * 2);
  for (unsigned char b : bytes) {
    hex.push_back(kHexDigits[b >> 4]);
    hex.push_back(kHexDigits[b & 0xF]);
  }
  return hex;
}

std::optional<std::string> HexToBytes(std::string_view hex) {
  if (hex.size() % 2 != 0) return std::nullopt;
  std::string bytes;
  bytes.reserve(hex.size() / 2);
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    int hi = HexValue(hex[i]);
    int lo = HexValue(hex[i + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    bytes.push_back(static_cast<char>((hi << 4) | lo));
  }
  return bytes;
}

std::string EntryId::ToHex() const { return BytesToHex(bytes()); }

std::optional<EntryId> EntryId::FromHex(std::string_view hex) {
  auto bytes = HexToBytes(hex);
  if (!bytes) return std::nullopt;
  return EntryId(std::move(*bytes));
}

bool operator==(const EntryId& a, const EntryId& b) {
  if (a.present() != b.present()) return false;
  return a.bytes() == b.bytes();
}

std::strong_ordering operator<=>(const EntryId& a, const EntryId& b) {
  if (a.present() != b.present())
    return a.present() ? std::strong_ordering::greater : std::strong_ordering::less;
  std::string_view x = a.bytes();
  std::string_view y = b.bytes();
  if (x.size() != y.size()) return x.size() <=> y.size();
  // std::string_view compares chars through char_traits<char>, which compares as
  // unsigned char, so the order is bytewise unsigned.
  int c = x.compare(y);
  return c < 0 ? std::strong_ordering::less
               : (c > 0 ? std::strong_ordering::greater : std::strong_ordering::equal);
}

std::size_t EntryIdHash::operator()(const EntryId& id) const noexcept {
  return id.present() ? std::hash<std::string_view>()(id.bytes()) : 0x9e3779b9u;
}

}  // namespace quorvel::mapi
