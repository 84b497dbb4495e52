// The address book (modelled on IAddrBook): a root container whose hierarchy holds
// containers; a container where entries can be created has PR_DEF_CREATE_MAILUSER;
// its contents rows carry each entry's PR_DISPLAY_NAME, PR_EMAIL_ADDRESS, PR_ADDRTYPE,
// PR_ENTRYID, PR_OBJECT_TYPE (MAPI_MAILUSER or MAPI_DISTLIST) and 0x0E1D001E where set.
#ifndef QUORVEL_MAPI_ADDRESS_BOOK_H_
#define QUORVEL_MAPI_ADDRESS_BOOK_H_

#include <memory>

#include "mapi/entry_id.h"
#include "mapi/folder.h"
#include "mapi/mapi_prop.h"

namespace quorvel::mapi {

// An address-book container (MAPI_ABCONT).
class AbContainer : public Container {};
// An entry (MAPI_MAILUSER or MAPI_DISTLIST): properties only.
class MailUser : public MapiProp {};

class AddressBook {
 public:
  virtual ~AddressBook() = default;
  // A container or entry; an absent or empty id opens the root container.
  virtual Result<OpenedEntry> OpenEntry(const EntryId& id, std::uint32_t flags) = 0;
};

}  // namespace quorvel::mapi

#endif  // QUORVEL_MAPI_ADDRESS_BOOK_H_
