// The White List, Black List and Safe Recipients pages: one list view of the page's
// patterns and contacts (columns "Name" and "E-mail Address"; a pattern shows in both,
// a domain entry shows its domain in both), and "&Add...", "&Remove", "E&dit...",
// "&Import from file...", "E&xport to file..."; the White List page also has the
// AutoAddToWhiteList switch.
//
// "&Remove" is enabled while at least one row is selected, "E&dit..." while exactly
// one is. A press of a column's sort button (ButtonRole::kSort: a front end whose list
// view sorts by a click on its header leaves it out) sorts the rows by that column,
// and a second press on the same column reverses the order; the rows are first shown
// patterns first, then contacts in key order.
//
// The White List and Black List pages know each other: a change that takes entries
// off the other list (an import) refills the other page's view too.
//
// Button ids are the page's own (a base per page plus the offsets below), since a
// sheet's buttons share one id space.
#ifndef QUORVEL_UI_LIST_PAGE_H_
#define QUORVEL_UI_LIST_PAGE_H_

#include <cstddef>
#include <string>
#include <vector>

#include "lists/contact_list.h"
#include "lists/string_set.h"
#include "settings/list_import.h"
#include "ui/list_edit_dialogs.h"
#include "ui/options_page.h"

namespace quorvel::ui {

enum ListButton : std::int32_t {
  kListAdd = 1,
  kListRemove = 2,
  kListEdit = 3,
  kListImport = 4,
  kListExport = 5,
  kListSortByName = 6,
  kListSortByAddress = 7,
};

class SenderListPage final : public OptionsPage {
 public:
  // One row of the view, in the code page: a pattern, or a contact (a single address
  // with its name, or a domain entry whose name and address are its domain).
  struct Row {
    bool pattern = false;
    bool domain = false;
    std::string name;
    std::string address;
  };

  SenderListPage(ListPage which, UserSettings& copy, const OptionsContext& context);
  // The page whose list this page's additions and imports take entries off.
  void SetOpposite(SenderListPage* opposite) { opposite_ = opposite; }

  std::string Id() const override;
  Page Build() override;
  bool OnButton(DialogSession& session, std::int32_t button) override;
  void Take(const Dialog& dialog) override;

  ListPage which() const { return which_; }
  std::string Title() const;
  std::string ListControl() const;  // the id of the list view
  std::int32_t ButtonId(ListButton button) const;
  ContactList& list();
  StringSet& patterns();
  const std::vector<Row>& rows() const { return rows_; }

  // The lists the page's Add, Edit and Remove change (the opposite list is the
  // page's own for the Safe Recipients page).
  ListPageLists Lists();
  // Add with the address and name given (UTF-8), after the Edit dialog: refused when
  // either text cannot be kept (control characters, too long, not in the code page),
  // else the list rules with their confirmations. True when the lists changed.
  bool AddEntry(DialogSession& session, const std::string& address, const std::string& name);
  // Edit of `row`, its new values asked in the Edit dialog through `ui` (a HookedUi
  // with a PrefillHook answers it for a command). True when the lists changed.
  bool EditRow(DialogSession& session, Ui& ui, std::size_t row);
  // Remove of `rows` (asked first). True when the lists changed.
  bool RemoveRows(DialogSession& session, const std::vector<std::int32_t>& rows);
  // The row whose address (a pattern, an address or a domain) is `text` (UTF-8,
  // compared without regard to case); -1 when none.
  std::int32_t RowOf(const std::string& text) const;

  // Sorts by column 0 (Name) or 1 (E-mail Address); the same column again reverses.
  void SortBy(DialogSession& session, int column);
  // Shows the page's list again as the copy holds it, in the order chosen.
  void Refill(DialogSession& session);
  // Import and Export as their buttons do after the file dialog; an error is shown as
  // "File Error:\n%s". True when done.
  bool Import(DialogSession& session, const std::string& path);
  // The import of a file already read (a command reads it before taking any lock);
  // returns how many entries and patterns the page gained.
  std::size_t ApplyImport(DialogSession& session, const ListFileContents& file);
  bool Export(const std::string& path);

 private:
  std::vector<Row> CurrentRows() const;
  void Order(std::vector<Row>& rows) const;
  static std::vector<std::vector<std::string>> Cells(const std::vector<Row>& rows);
  bool FileError(int code);
  ListEntryRef RefOf(std::size_t row) const;
  // Shows both list pages again after a change of the lists.
  void Changed(DialogSession& session);

  ListPage which_;
  UserSettings& copy_;
  const OptionsContext& context_;
  SenderListPage* opposite_ = nullptr;
  std::vector<Row> rows_;  // as the view shows them
  int sortColumn_ = -1;    // -1: the list's own order
  bool ascending_ = true;
};

}  // namespace quorvel::ui

#endif  // QUORVEL_UI_LIST_PAGE_H_
