// A contact: an address as the lists file it, with the domain key of its group.
//
// Every list lookup and addition starts from MakeContact, which trims the text the
// way every address in the system is trimmed and derives the key under which a
// contact list groups it. The functions here are pure and thread-safe.
#ifndef QUORVEL_LISTS_CONTACT_H_
#define QUORVEL_LISTS_CONTACT_H_

#include <string>
#include <string_view>

namespace quorvel {

// The characters stripped from both ends of every address and display name.
inline constexpr std::string_view kContactTrimSet = " \t\r\n'\"\\";

struct Contact {
  std::string address;    // trimmed, case preserved
  std::string domainKey;  // see DomainKeyOf
};

// `text` without the characters of kContactTrimSet at either end.
std::string TrimContactText(std::string_view text);

// The key under which a contact list files an (already trimmed) address:
//   /o=Org/ou=Site/cn=...   -> "/Org"   (X.500: the organisation)
//   /anything-else           -> the whole address
//   @example.org             -> the whole address
//   john@Example.org         -> "@Example.org" (from the first "@")
//   no "@" at all            -> ""
std::string DomainKeyOf(std::string_view address);

// Trims `text` and derives its domain key.
Contact MakeContact(std::string_view text);

// True for "@domain" and for "/Org" (a "/" not followed by "x=" ...): the forms that
// name a whole domain rather than one address.
bool IsDomainForm(std::string_view text);

// True when the text contains "*" or is in domain form.
bool IsWildcardOrDomain(std::string_view text);

// How an address is shown on its own: for an X.500 address whose last component is
// "/cn=Alias", the lower-cased alias followed by the domain key ("jsmith/Acme");
// otherwise an address with "@" as it is; anything else as the empty text.
std::string AddressDisplayForm(std::string_view address);

}  // namespace quorvel

#endif  // QUORVEL_LISTS_CONTACT_H_
