#include "ui/list_edit_dialogs.h"

#include <utility>

#include "platform/code_page.h"
#include "platform/string_table.h"
#include "ui/entry_text.h"

namespace quorvel::ui {
namespace {

constexpr unsigned kStringAbsorbed = 124;
constexpr unsigned kStringConflictWhite = 127;
constexpr unsigned kStringConflictBlack = 128;

std::string Trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t");
  return std::string(text.substr(first, last - first + 1));
}

std::string Caption() { return std::string(platform::kProductName); }

void Warn(Ui& ui, const std::string& text) {
  ui.Show(text, Caption(), platform::MB_OK | platform::MB_ICONWARNING);
}

Control Label(std::string text) { return {.kind = ControlKind::kLabel, .label = std::move(text)}; }

// Shows the rows with OK and Cancel; true on OK. With marks, the user's marks are
// written back into `rows`.
bool Confirm(Ui& ui, const std::string& text, std::vector<ListEditRow>& rows, bool marks) {
  Dialog dialog = ListConfirmationDialog(text, rows, marks);
  if (RunDialog(ui, dialog) != platform::IDOK) return false;
  const Control* list = dialog.Find(kConfirmRows);
  if (marks && list != nullptr && list->rowChecked.size() == rows.size()) {
    for (std::size_t i = 0; i < rows.size(); ++i) rows[i].remove = list->rowChecked[i];
  }
  return true;
}

// The entry a page row shows: the single address, or the domain entry named by its
// key; never the domain entry that merely covers a single address.
std::optional<ContactPosition> FindShown(const ContactList& list, const std::string& text) {
  const Contact contact = MakeContact(text);
  std::optional<ContactPosition> found = list.Find(contact);
  if (found && found->Entry() == nullptr && !IsDomainForm(contact.address)) return std::nullopt;
  return found;
}

}  // namespace

Dialog EditEntryDialog(const std::string& address, const std::string& name) {
  Dialog dialog;
  dialog.kind = "edit-entry";
  dialog.title = "Edit";
  dialog.controls = {
      {.kind = ControlKind::kTextBox,
       .id = kEditAddress,
       .label = "&E-mail Address",
       .text = address},
      Label("For example: john.smith@example.com"),
      {.kind = ControlKind::kTextBox, .id = kEditName, .label = "&Name", .text = name},
      Label("For example: John Smith"),
      Label("You may also enter a domain name (an \"@\" followed by a domain, such as "
            "@example.com) or a wildcard (an address with \"*\" in its local part, such as "
            "john*@example.com, or \"@*.\" followed by a domain, such as @*.example.com)."),
  };
  dialog.buttons = {RoleButton(ButtonRole::kOk, "OK"), RoleButton(ButtonRole::kCancel, "Cancel")};
  dialog.validate = [](const Dialog& d, std::int32_t) -> std::string {
    const std::string entry = Trimmed(d.Find(kEditAddress)->text);
    if (entry.empty()) return "Empty address.";
    if (KindOfEntry(entry) == EntryKind::kAddress && Trimmed(d.Find(kEditName)->text).empty()) {
      return "Empty name.";
    }
    return {};
  };
  return dialog;
}

bool RunEditEntry(Ui& ui, std::string* address, std::string* name) {
  Dialog dialog = EditEntryDialog(*address, *name);
  if (RunDialog(ui, dialog) != platform::IDOK) return false;
  *address = Trimmed(dialog.Find(kEditAddress)->text);
  *name = Trimmed(dialog.Find(kEditName)->text);
  return true;
}

Dialog ListConfirmationDialog(const std::string& text, const std::vector<ListEditRow>& rows,
                              bool marks) {
  Dialog dialog;
  dialog.kind = marks ? "list-conflicts" : "list-absorbed";
  dialog.title = Caption();
  Control list{.kind = ControlKind::kList,
               .id = kConfirmRows,
               .columns = {"Name", "E-mail Address"},
               .multiSelect = true};
  for (const ListEditRow& row : rows) {
    list.rows.push_back({row.name, row.address});
    if (marks) list.rowChecked.push_back(row.remove);
  }
  dialog.controls = {Label(text), std::move(list)};
  dialog.buttons = {RoleButton(ButtonRole::kOk, "OK"), RoleButton(ButtonRole::kCancel, "Cancel")};
  return dialog;
}

std::string AbsorbedText() { return std::string(platform::LoadString(kStringAbsorbed)); }

std::string ConflictText(ListKind target) {
  return std::string(platform::LoadString(target == ListKind::kWhiteList ? kStringConflictWhite
                                                                         : kStringConflictBlack));
}

bool ConfirmAndApply(Ui& ui, PendingAddition& pending, ListKind target, platform::FileTime now,
                     PendingAddition::Applied* applied, bool ask) {
  if (ask && !pending.absorbed().empty()) {
    std::vector<ListEditRow> rows = pending.absorbed();
    if (!Confirm(ui, AbsorbedText(), rows, /*marks=*/false)) return false;
  }
  if (ask && !pending.conflicts().empty()) {
    if (!Confirm(ui, ConflictText(target), pending.conflicts(), /*marks=*/true)) return false;
  }
  PendingAddition::Applied result = pending.Apply(now);
  if (applied != nullptr) *applied = std::move(result);
  return true;
}

std::string RemoveQuestion(std::size_t count) {
  const std::string which = count == 1 ? "this" : "these " + std::to_string(count);
  return "Are you sure you want to delete " + which + " item" + (count == 1 ? "" : "s") + "?";
}

bool ConfirmRemove(Ui& ui, std::size_t count) {
  return ui.Show(RemoveQuestion(count), Caption(),
                 platform::MB_YESNO | platform::MB_ICONQUESTION) == platform::IDYES;
}

bool AddListEntry(Ui& ui, const ListPageLists& lists, std::string_view address,
                  std::string_view name, platform::FileTime now) {
  const EntryKind kind = KindOfEntry(address);
  if (kind == EntryKind::kWildcard) {
    const ListEditError error = AddWildcard(lists.patterns, address);
    if (error != ListEditError::kNone) Warn(ui, ListEditErrorText(error));
    return error == ListEditError::kNone;
  }
  // The addition works on copies, so that a failure or a cancel leaves the page's
  // lists exactly as they were.
  ContactList contacts = lists.contacts;
  const bool sameList = &lists.contacts == &lists.opposite;
  ContactList opposite = sameList ? ContactList() : lists.opposite;
  PendingAddition pending(contacts, sameList ? contacts : opposite);
  const ListEditError error =
      kind == EntryKind::kDomain ? pending.AddDomain(address) : pending.AddAddress(address, name);
  if (error != ListEditError::kNone) {
    if (std::string text = ListEditErrorText(error); !text.empty()) Warn(ui, text);
    return false;
  }
  if (!ConfirmAndApply(ui, pending, lists.kind, now, nullptr)) return false;
  lists.contacts = std::move(contacts);
  if (!sameList) lists.opposite = std::move(opposite);
  return true;
}

// The Edit dialog speaks UTF-8 and the lists keep the ANSI code page: what the user
// typed is converted, or refused with the reason when the code page cannot hold it.
static bool TypedEntryToAnsi(Ui& ui, std::string* address, std::string* name) {
  std::string ansiAddress, ansiName;
  std::string problem = CheckEntryText(*address, "address", &ansiAddress);
  if (problem.empty()) problem = CheckEntryText(*name, "name", &ansiName);
  if (!problem.empty()) {
    Warn(ui, problem);
    return false;
  }
  *address = std::move(ansiAddress);
  *name = std::move(ansiName);
  return true;
}

bool AddListEntryAsked(Ui& ui, const ListPageLists& lists, platform::FileTime now) {
  std::string address, name;
  if (!RunEditEntry(ui, &address, &name) || !TypedEntryToAnsi(ui, &address, &name)) return false;
  return AddListEntry(ui, lists, address, name, now);
}

bool EditListEntry(Ui& ui, const ListPageLists& lists, const ListEntryRef& entry,
                   platform::FileTime now) {
  // Taken out of copies; the page's lists change only when the new entry is added.
  ContactList contacts = lists.contacts;
  StringSet patterns = lists.patterns;
  const bool sameList = &lists.contacts == &lists.opposite;
  ContactList opposite = sameList ? ContactList() : lists.opposite;
  std::string address = entry.text;
  std::string name;
  if (entry.pattern) {
    if (!patterns.Erase(entry.text)) return false;
  } else {
    const std::optional<ContactPosition> found = FindShown(contacts, entry.text);
    if (!found) return false;
    address = found->Address();
    name = found->Entry() != nullptr ? found->Entry()->name : std::string();
    contacts.RemoveAt(*found);
  }
  address = platform::AnsiToUtf8(address);
  name = platform::AnsiToUtf8(name);
  if (!RunEditEntry(ui, &address, &name) || !TypedEntryToAnsi(ui, &address, &name)) return false;
  ListPageLists copies{lists.kind, contacts, patterns, sameList ? contacts : opposite};
  if (!AddListEntry(ui, copies, address, name, now)) return false;
  lists.contacts = std::move(contacts);
  lists.patterns = std::move(patterns);
  if (!sameList) lists.opposite = std::move(opposite);
  return true;
}

bool RemoveListEntries(Ui& ui, const ListPageLists& lists,
                       const std::vector<ListEntryRef>& selected) {
  if (selected.empty() || !ConfirmRemove(ui, selected.size())) return false;
  for (const ListEntryRef& entry : selected) {
    if (entry.pattern) {
      lists.patterns.Erase(entry.text);
      continue;
    }
    if (std::optional<ContactPosition> found = FindShown(lists.contacts, entry.text)) {
      lists.contacts.RemoveAt(*found);
    }
  }
  return true;
}

}  // namespace quorvel::ui
