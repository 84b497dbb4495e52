#include "lists/contact.h"

#include "platform/code_page.h"

namespace quorvel {

std::string TrimContactText(std::string_view text) {
  const auto first = text.find_first_not_of(kContactTrimSet);
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(kContactTrimSet);
  return std::string(text.substr(first, last - first + 1));
}

std::string DomainKeyOf(std::string_view address) {
  if (address.empty()) return {};
  if (address[0] == '/') {
    // "/o=Org/..." files under "/Org"; any other X.500 form under itself.
    if (address.size() > 3 && (address[1] == 'o' || address[1] == 'O') && address[2] == '=') {
      const auto slash = address.find('/', 3);
      if (slash != std::string_view::npos) {
        std::string key = "/";
        key.append(address.substr(3, slash - 3));
        return key;
      }
    }
    return std::string(address);
  }
  const auto at = address.find('@');
  if (at == std::string_view::npos) return {};
  return std::string(address.substr(at));
}

Contact MakeContact(std::string_view text) {
  Contact contact;
  contact.address = TrimContactText(text);
  contact.domainKey = DomainKeyOf(contact.address);
  return contact;
}

bool IsDomainForm(std::string_view text) {
  if (text.empty()) return false;
  if (text[0] == '@') return true;
  if (text[0] != '/') return false;
  // The second character must exist; a missing third character is not "=".
  return text.size() >= 2 && (text.size() < 3 || text[2] != '=');
}

bool IsWildcardOrDomain(std::string_view text) {
  return text.find('*') != std::string_view::npos || IsDomainForm(text);
}

std::string AddressDisplayForm(std::string_view address) {
  constexpr std::string_view kCommonName = "/cn=";
  const auto lastSlash = address.rfind('/');
  if (lastSlash != std::string_view::npos) {
    const auto tail = address.substr(lastSlash);
    if (tail.size() >= kCommonName.size() &&
        platform::EqualsNoCase(tail.substr(0, kCommonName.size()), kCommonName)) {
      return platform::ToLowerAnsi(tail.substr(kCommonName.size())) + DomainKeyOf(address);
    }
  }
  if (address.find('@') != std::string_view::npos) return std::string(address);
  return {};
}

}  // namespace quorvel
