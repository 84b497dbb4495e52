// Addresses as the classifier meets them: identities (an address with its display
// name), the test for "the same person", the forms shown in reasons and dialogs, the
// first address inside free text, and the recipients of a message.
//
// Pure functions except CollectRecipients, which reads the message it is given on
// the calling thread.
#ifndef QUORVEL_CORE_ADDRESS_H_
#define QUORVEL_CORE_ADDRESS_H_

#include <string>
#include <string_view>
#include <vector>

#include "mapi/message.h"
#include "mapi/result.h"

namespace quorvel {

// An address (Internet or X.500) and a display name, both trimmed of blanks, tabs,
// CR, LF, quotes and backslashes at either end.
struct Identity {
  std::string address;
  std::string name;
};

// Trims both parts.
Identity MakeIdentity(std::string_view address, std::string_view name);

// Whether two identities are one person. An empty address is nobody. Otherwise the
// first case-insensitive equality among name/name, address/address, a.address/b.name
// and a.name/b.address makes them the same (two empty names count as equal); with
// `strict` the addresses must then also be equal.
bool SamePerson(const Identity& a, const Identity& b, bool strict);

// The address part (see AddressDisplayForm: "jsmith/Acme", an "@" address as it is,
// else empty); without `addressOnly` the name, " (", that part and ")".
std::string DisplayForm(std::string_view address, std::string_view name, bool addressOnly);

// The first "@" in `text` together with the address characters (letters, digits and
// !#$%&'*+-/=?^_`{|}~.) directly on both sides of it; empty when there is no "@".
std::string FirstAddress(std::string_view text);

// Every recipient with an address (To, Cc and Bcc alike), in table order. A failure
// to open or read the recipient table gives its code and an empty list.
mapi::Result<std::vector<Identity>> CollectRecipients(mapi::Message& message);

}  // namespace quorvel

#endif  // QUORVEL_CORE_ADDRESS_H_
