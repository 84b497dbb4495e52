// The dialogs of editing the White, Black and Safe Recipients Lists, as models shown
// through a Ui: the Edit dialog of one entry, the two confirmations of a pending
// addition (contacts absorbed by an added domain, and contacts the addition removes
// from the opposite list), and the question before Remove. On top of them, the
// flows of a list page's Add, Edit and Remove buttons, which the options sheet's list
// pages and the marking commands share.
//
// Every flow works on the lists it is given (a page's or a marking's copies) and
// leaves them as they were when the user cancels or the addition fails; failures are
// shown as warning boxes captioned "Quorvel".
//
// Thread-safety: none; the caller's thread shows the dialogs, and no lock may be held
// across these calls (they wait for a person).
#ifndef QUORVEL_UI_LIST_EDIT_DIALOGS_H_
#define QUORVEL_UI_LIST_EDIT_DIALOGS_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "lists/contact_list.h"
#include "lists/list_edit.h"
#include "lists/string_set.h"
#include "platform/clock.h"
#include "ui/ui.h"

namespace quorvel::ui {

enum class ListKind { kSafeRecipients, kWhiteList, kBlackList };

// Controls of the Edit dialog, by id.
inline constexpr const char* kEditAddress = "address";
inline constexpr const char* kEditName = "name";

// The Edit dialog (caption "Edit") filled with `address` and `name`. Its validation
// refuses an empty address ("Empty address.") and, for an entry that is neither a
// wildcard nor a domain, an empty name ("Empty name.").
Dialog EditEntryDialog(const std::string& address, const std::string& name);
// Runs it until accepted or cancelled; on OK, true with the address and name trimmed
// of blanks.
bool RunEditEntry(Ui& ui, std::string* address, std::string* name);

// The confirmation list of a pending addition's rows (caption "Quorvel", columns
// "Name" and "E-mail Address"); with `marks`, every row carries its `remove` mark as
// a check mark. The list control's id is kConfirmRows.
inline constexpr const char* kConfirmRows = "rows";
Dialog ListConfirmationDialog(const std::string& text, const std::vector<ListEditRow>& rows,
                              bool marks);
// The confirmation texts (the conflict text depends on the target list).
std::string AbsorbedText();
std::string ConflictText(ListKind target);

// Confirm and apply: shows the absorbed rows, then the conflict rows with their marks
// (the user's cleared marks are taken back into the addition); when either is not
// closed with OK nothing changes and the result is false. Otherwise applies the
// addition at `now` and gives what changed. With `ask` false nothing is shown and the
// dialogs' defaults are taken (OK, every mark set).
bool ConfirmAndApply(Ui& ui, PendingAddition& pending, ListKind target, platform::FileTime now,
                     PendingAddition::Applied* applied, bool ask = true);

// "Are you sure you want to delete this item?" / "... these 3 items?"
std::string RemoveQuestion(std::size_t count);
// Asks it with Yes and No; true on Yes.
bool ConfirmRemove(Ui& ui, std::size_t count);

// The lists a list page edits: its own contacts and patterns, and the opposite list
// (the page's own contacts again for the Safe Recipients List).
struct ListPageLists {
  ListKind kind;
  ContactList& contacts;
  StringSet& patterns;
  ContactList& opposite;
};

// One entry shown on a page: a pattern, or a contact (a single address or a domain
// entry, by its address or domain key).
struct ListEntryRef {
  bool pattern = false;
  std::string text;  // the pattern, the address, or the domain key
};

// The page's Add with `address` and `name` already given: a wildcard goes into the
// patterns, a domain or an address through a pending addition confirmed with the
// user. False (lists unchanged) on a failure, which is shown, or a cancel.
bool AddListEntry(Ui& ui, const ListPageLists& lists, std::string_view address,
                  std::string_view name, platform::FileTime now);
// The page's Add button: the Edit dialog empty, then AddListEntry.
bool AddListEntryAsked(Ui& ui, const ListPageLists& lists, platform::FileTime now);
// The page's Edit button: the entry is taken out, the Edit dialog shows its address
// and name, and the result is added; cancelled or failed, the entry stays as it was.
bool EditListEntry(Ui& ui, const ListPageLists& lists, const ListEntryRef& entry,
                   platform::FileTime now);
// The page's Remove button: asks, then removes every entry of `selected`.
bool RemoveListEntries(Ui& ui, const ListPageLists& lists,
                       const std::vector<ListEntryRef>& selected);

}  // namespace quorvel::ui

#endif  // QUORVEL_UI_LIST_EDIT_DIALOGS_H_
