#include "core/address.h"

#include <array>
#include <cstdint>

#include "lists/contact.h"
#include "mapi/queries.h"
#include "platform/code_page.h"

namespace quorvel {

namespace {

// The bytes an address run may hold, as a 256-bit map indexed by byte value: the
// atom characters of Internet mail addresses and the full stop. "@" is not one of
// them, nor is any byte of 128 or above.
class AddressCharacters {
 public:
  constexpr AddressCharacters() {
    for (char c = 'a'; c <= 'z'; ++c) Set(c);
    for (char c = 'A'; c <= 'Z'; ++c) Set(c);
    for (char c = '0'; c <= '9'; ++c) Set(c);
    for (char c : std::string_view("!#$%&'*+-/=?^_`{|}~.")) Set(c);
  }
  constexpr bool Contains(char c) const {
    const auto b = static_cast<unsigned char>(c);
    return (words_[b / 64] >> (b % 64)) & 1;
  }
  constexpr std::size_t Count() const {
    std::size_t n = 0;
    for (int b = 0; b < 256; ++b) n += Contains(static_cast<char>(b)) ? 1 : 0;
    return n;
  }

 private:
  constexpr void Set(char c) {
    const auto b = static_cast<unsigned char>(c);
    words_[b / 64] |= std::uint64_t{1} << (b % 64);
  }
  std::array<std::uint64_t, 4> words_{};
};

constexpr AddressCharacters kAddressCharacters;
static_assert(kAddressCharacters.Count() == 82);

constexpr std::array<mapi::PropTag, 3> kRecipientColumns = {
    mapi::PR_EMAIL_ADDRESS, mapi::PR_DISPLAY_NAME, mapi::PR_RECIPIENT_TYPE};

}  // namespace

Identity MakeIdentity(std::string_view address, std::string_view name) {
  return Identity{TrimContactText(address), TrimContactText(name)};
}

bool SamePerson(const Identity& a, const Identity& b, bool strict) {
  if (a.address.empty() || b.address.empty()) return false;
  const bool same =
      platform::EqualsNoCase(a.name, b.name) || platform::EqualsNoCase(a.address, b.address) ||
      platform::EqualsNoCase(a.address, b.name) || platform::EqualsNoCase(a.name, b.address);
  if (!same) return false;
  return !strict || platform::EqualsNoCase(a.address, b.address);
}

std::string DisplayForm(std::string_view address, std::string_view name, bool addressOnly) {
  std::string part = AddressDisplayForm(address);
  if (addressOnly) return part;
  std::string shown(name);
  shown += " (";
  shown += part;
  shown += ")";
  return shown;
}

std::string FirstAddress(std::string_view text) {
  const auto at = text.find('@');
  if (at == std::string_view::npos) return {};
  std::size_t begin = at;
  while (begin > 0 && kAddressCharacters.Contains(text[begin - 1])) --begin;
  std::size_t end = at + 1;
  while (end < text.size() && kAddressCharacters.Contains(text[end])) ++end;
  return std::string(text.substr(begin, end - begin));
}

mapi::Result<std::vector<Identity>> CollectRecipients(mapi::Message& message) {
  auto table = message.GetRecipientTable(0);
  if (!table) return table.hr;
  if (!table.value) return mapi::MAPI_E_CALL_FAILED;
  auto rows = mapi::HrQueryAllRows(*table.value, kRecipientColumns, std::nullopt);
  if (!rows) return rows.hr;
  std::vector<Identity> recipients;
  for (const mapi::Row& row : rows.value) {
    if (row.empty() || row[0].tag != mapi::PR_EMAIL_ADDRESS) continue;
    const std::string* address = row[0].AsString8();
    const std::string* name =
        row.size() > 1 && row[1].tag == mapi::PR_DISPLAY_NAME ? row[1].AsString8() : nullptr;
    Identity recipient = MakeIdentity(address ? *address : "", name ? *name : "");
    if (recipient.address.empty()) continue;
    recipients.push_back(std::move(recipient));
  }
  return mapi::Ok(std::move(recipients));
}

}  // namespace quorvel
