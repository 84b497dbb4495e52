// The White List page's work: collecting the people the user corresponds with into a
// fresh contact list, in three walks:
//
//   the address book (progress 0 to 20): every container of the root hierarchy that
//     has PR_DEF_CREATE_MAILUSER; each entry with an e-mail address, named by its
//     0x0E1D001E property where it has one, else by its display name;
//   the default Contacts folder (20 to 40): each item's first e-mail address (the
//     named property {PSETID_Address, 0x8083}) with its display name;
//   the default Sent Items (40 to 100): every recipient with an address of each
//     message, under a budget of kSentItemsMessages messages and kSentItemsSeconds
//     seconds on the clock (CContactLimit), counted before each row.
//
// A profile without an address book or without a Contacts folder has nothing to walk
// there: that is no failure, and the next walk goes on.
//
// An address that begins with "/" (a directory-style name) is added as the contact
// list's other form, without a name (AddDomain). A failing call ends the walks:
// the remaining ones are skipped and what was collected stays; a spent budget ends
// the Sent Items walk the same way.
//
// Threading: the calling thread; uses the session as any thread may.
#ifndef QUORVEL_OUTLOOK_WHITE_LIST_WALK_H_
#define QUORVEL_OUTLOOK_WHITE_LIST_WALK_H_

#include <cstdint>
#include <functional>

#include "host/object_model.h"
#include "lists/contact_limit.h"
#include "lists/contact_list.h"
#include "platform/clock.h"

namespace quorvel::outlook {

inline constexpr std::int32_t kSentItemsMessages = 2000;
inline constexpr std::int32_t kSentItemsSeconds = 240;
// Rows asked of a contents table at a time.
inline constexpr std::int32_t kWalkBatch = 128;

struct WalkReport {
  mapi::HRESULT failure = mapi::S_OK;  // the call that ended the walks, S_OK when none
  bool budgetSpent = false;            // the Sent Items budget ended its walk
  std::uint32_t sentMessages = 0;      // Sent Items rows walked
};

// `progress` (may be empty) hears the percentage reached, 0 to 100.
WalkReport CollectWhiteListContacts(host::NameSpace& nameSpace, const platform::Clock& clock,
                                    ContactList& collected,
                                    const std::function<void(int percent)>& progress);

// The three walks one by one (each adds to `collected` with the time `now`), for
// tests and the measurements; CollectWhiteListContacts runs them in order.
mapi::HRESULT WalkAddressBook(mapi::Session& session, ContactList& collected,
                              platform::FileTime now);
mapi::HRESULT WalkContactsFolder(host::NameSpace& nameSpace, ContactList& collected,
                                 platform::FileTime now);
// Throws the budget (CContactLimit) when it is spent; what was added stays.
mapi::HRESULT WalkSentItems(host::NameSpace& nameSpace, ContactList& collected,
                            platform::FileTime now, CContactLimit& budget, std::uint32_t* walked,
                            const std::function<void(int)>& progress);

}  // namespace quorvel::outlook

#endif  // QUORVEL_OUTLOOK_WHITE_LIST_WALK_H_
