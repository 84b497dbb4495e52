// The rules by which an entry reaches the White, Black or Safe Recipients List: what
// kind of entry a user's text is, and the pending addition that collects domains and
// addresses to add, finds what they absorb in the target list and what they remove
// from the opposite list (the White and Black Lists exclude each other), and applies
// all of it at once after the user confirmed.
//
// Dialog-free: the confirmations are shown by ui/list_edit_dialogs.h, which reads
// the rows collected here and sets the conflict rows' marks.
//
// Thread-safety: none. A pending addition refers to the lists it was given (usually a
// page's or a marking's copies) and must not outlive them; the caller holds whatever
// lock guards them across every call.
#ifndef QUORVEL_LISTS_LIST_EDIT_H_
#define QUORVEL_LISTS_LIST_EDIT_H_

#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "lists/contact_list.h"
#include "lists/string_set.h"
#include "platform/clock.h"
#include "platform/code_page.h"

namespace quorvel {

enum class EntryKind {
  kWildcard,  // contains "*": goes into the list's pattern set
  kDomain,    // domain form (IsDomainForm): a domain entry
  kAddress,   // anything else: a single address with its name
};

// The kind of a user's entry (blanks around it are ignored).
EntryKind KindOfEntry(std::string_view text);

// The pattern stored for a wildcard entry: trimmed of blanks, with "*" put in front
// when it begins with "@" (so @*.example.org is stored and matched as *@*.example.org).
std::string StoredWildcard(std::string_view text);

enum class ListEditError {
  kNone,
  kAlreadyPending,  // the same domain or address was added to this edit before
  kDomainExists,    // "This domain already exists."
  kAddressExists,   // "This address already exists."
  kWildcardExists,  // "This wildcard already exists."
};

// The warning a page shows for `error`; "" for kNone and kAlreadyPending (which
// only skip).
std::string ListEditErrorText(ListEditError error);

// Inserts the stored form of a wildcard entry into `patterns`.
ListEditError AddWildcard(StringSet& patterns, std::string_view text);

// One entry of a list as a change names it: a single address with its name, or a
// domain entry (address = the domain key, name empty).
struct ListEntryRecord {
  std::string address;
  std::string name;
  bool domain = false;
  bool operator==(const ListEntryRecord&) const = default;
};

// What an edit did to one list.
struct ListChange {
  std::vector<ListEntryRecord> added;
  std::vector<ListEntryRecord> removed;
  bool empty() const { return added.empty() && removed.empty(); }
};

// Puts `change` into `list` again (removed entries taken out, added ones put in at
// `now`), so that an edit confirmed on copies reaches the live list without
// overwriting what others changed there meanwhile. ReverseChange undoes it: the added
// entries taken out, the removed ones put back.
void ReplayChange(ContactList& list, const ListChange& change, platform::FileTime now);
void ReverseChange(ContactList& list, const ListChange& change, platform::FileTime now);

// Which icon a confirmation row shows.
enum class ListRowKind {
  kOppositeAddress,  // a single entry of the opposite list
  kOppositeDomain,   // a domain entry of the opposite list
  kTargetAbsorbed,   // a single entry of the target list that an added domain absorbs
  kOppositeAbsorbed  // a single entry of the opposite list that an added domain absorbs
};

struct ListEditRow {
  std::string name;
  std::string address;
  ListRowKind kind = ListRowKind::kOppositeAddress;
  // Conflict rows only: set, the entry leaves the opposite list; cleared by the user,
  // it stays there.
  bool remove = true;
};

class PendingAddition {
 public:
  // REQUIRES: both lists outlive the addition. `opposite` may be `target` itself (the
  // Safe Recipients List has no opposite list): then nothing conflicts.
  PendingAddition(ContactList& target, ContactList& opposite);

  // A whole domain (the domain key of `text`). Fails with kAlreadyPending, or with
  // kDomainExists when the target already has that domain entry (nothing recorded).
  ListEditError AddDomain(std::string_view text);
  // A single address with its name. Fails with kAlreadyPending, or kAddressExists
  // when the target already covers it (the address itself or its domain).
  ListEditError AddAddress(std::string_view address, std::string_view name);

  bool empty() const { return domains_.empty() && addresses_.empty(); }
  bool HasOpposite() const { return &target_ != &opposite_; }
  // Rows for the confirmation of absorbed contacts, and of conflicts (whose `remove`
  // marks the caller may clear before Apply).
  const std::vector<ListEditRow>& absorbed() const { return absorbed_; }
  std::vector<ListEditRow>& conflicts() { return conflicts_; }
  const std::vector<ListEditRow>& conflicts() const { return conflicts_; }

  struct Applied {
    ListChange target;
    ListChange opposite;
  };
  // Removes the queued opposite-list entries (but those whose conflict row is marked
  // to stay), then adds every pending domain and every pending address (at `now`).
  // Returns what changed in each list. Call at most once.
  Applied Apply(platform::FileTime now);

 private:
  // An opposite-list entry to remove: a whole group (address empty) or one address.
  struct Removal {
    std::string domainKey;
    std::string address;
    int conflictRow = -1;  // the row whose mark decides, or -1: always removed
  };

  ContactList& target_;
  ContactList& opposite_;
  std::vector<std::string> domains_;                            // in the order added
  std::vector<std::pair<std::string, std::string>> addresses_;  // address, name
  std::set<std::string, platform::LessNoCase> pendingDomains_;
  std::set<std::string, platform::LessNoCase> pendingAddresses_;
  std::vector<Removal> removals_;
  std::vector<ListEditRow> absorbed_;
  std::vector<ListEditRow> conflicts_;
};

}  // namespace quorvel

#endif  // QUORVEL_LISTS_LIST_EDIT_H_
