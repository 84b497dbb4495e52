#include "ui/list_page.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/code_page.h"
#include "platform/string_table.h"
#include "ui/entry_text.h"
#include "ui/file_dialog.h"
#include "ui/option_switches.h"
#include "ui/options_sheet.h"

namespace quorvel::ui {
namespace {

struct PageTexts {
  const char* id;
  const char* title;
  std::int32_t buttonBase;
};

PageTexts TextsOf(ListPage which) {
  switch (which) {
    case ListPage::kWhiteList:
      return {kWhiteListPage, "White List", 0x7430};
    case ListPage::kBlackList:
      return {kBlackListPage, "Black List", 0x7440};
    case ListPage::kSafeRecipients:
      break;
  }
  return {kSafeRecipientsPage, "Safe Recipients", 0x7450};
}

}  // namespace

SenderListPage::SenderListPage(ListPage which, UserSettings& copy, const OptionsContext& context)
    : which_(which), copy_(copy), context_(context) {}

std::string SenderListPage::Id() const { return TextsOf(which_).id; }
std::string SenderListPage::Title() const { return TextsOf(which_).title; }
std::string SenderListPage::ListControl() const { return Id() + "-rows"; }
std::int32_t SenderListPage::ButtonId(ListButton button) const {
  return TextsOf(which_).buttonBase + button;
}

ContactList& SenderListPage::list() {
  switch (which_) {
    case ListPage::kWhiteList:
      return copy_.whiteList;
    case ListPage::kBlackList:
      return copy_.blackList;
    case ListPage::kSafeRecipients:
      break;
  }
  return copy_.safeRecipients;
}

StringSet& SenderListPage::patterns() {
  switch (which_) {
    case ListPage::kWhiteList:
      return copy_.whiteListWildcards;
    case ListPage::kBlackList:
      return copy_.blackListWildcards;
    case ListPage::kSafeRecipients:
      break;
  }
  return copy_.safeRecipientsWildcards;
}

std::vector<SenderListPage::Row> SenderListPage::CurrentRows() const {
  auto& self = const_cast<SenderListPage&>(*this);
  std::vector<Row> rows;
  rows.reserve(self.patterns().Count() + self.list().Count());
  for (const std::string& pattern : self.patterns()) {
    rows.push_back({.pattern = true, .name = pattern, .address = pattern});
  }
  for (const ContactPosition& item : self.list()) {
    rows.push_back(
        {.domain = item.IsDomainEntry(), .name = item.Name(), .address = item.Address()});
  }
  Order(rows);
  return rows;
}

void SenderListPage::Order(std::vector<Row>& rows) const {
  if (sortColumn_ < 0) return;
  const bool byName = sortColumn_ == 0;
  const bool ascending = ascending_;
  std::stable_sort(rows.begin(), rows.end(), [byName, ascending](const Row& a, const Row& b) {
    const Row& first = ascending ? a : b;
    const Row& second = ascending ? b : a;
    const std::string& x = byName ? first.name : first.address;
    const std::string& y = byName ? second.name : second.address;
    const int order = platform::CompareNoCase(x, y);
    if (order != 0) return order < 0;
    return platform::CompareNoCase(byName ? first.address : first.name,
                                   byName ? second.address : second.name) < 0;
  });
}

std::vector<std::vector<std::string>> SenderListPage::Cells(const std::vector<Row>& rows) {
  std::vector<std::vector<std::string>> cells;
  cells.reserve(rows.size());
  for (const Row& row : rows) {
    cells.push_back({platform::AnsiToUtf8(row.name), platform::AnsiToUtf8(row.address)});
  }
  return cells;
}

Page SenderListPage::Build() {
  rows_ = CurrentRows();
  Page page{.id = Id(), .title = Title()};
  Control view{.kind = ControlKind::kList, .id = ListControl(), .multiSelect = true};
  view.columns = {"Name", "E-mail Address"};
  view.rows = Cells(rows_);
  page.controls.push_back(std::move(view));
  for (Control& box : SwitchBoxes(Id(), copy_)) page.controls.push_back(std::move(box));
  const EnabledBy anySelected{ListControl(), {"one", "many"}};
  const EnabledBy oneSelected{ListControl(), {"one"}};
  page.buttons = {
      {.id = ButtonId(kListAdd), .text = "&Add...", .closes = false},
      {.id = ButtonId(kListRemove), .text = "&Remove", .closes = false, .enabledBy = anySelected},
      {.id = ButtonId(kListEdit), .text = "E&dit...", .closes = false, .enabledBy = oneSelected},
      {.id = ButtonId(kListImport), .text = "&Import from file...", .closes = false},
      {.id = ButtonId(kListExport), .text = "E&xport to file...", .closes = false},
      {.id = ButtonId(kListSortByName),
       .text = "Sort by &Name",
       .role = ButtonRole::kSort,
       .closes = false},
      {.id = ButtonId(kListSortByAddress),
       .text = "Sort by E-&mail Address",
       .role = ButtonRole::kSort,
       .closes = false},
  };
  return page;
}

void SenderListPage::SortBy(DialogSession& session, int column) {
  if (column == sortColumn_) {
    ascending_ = !ascending_;
  } else {
    sortColumn_ = column;
    ascending_ = true;
  }
  Order(rows_);
  if (!rows_.empty()) {
    session.Update(DialogChange::RowsChanged(ListControl(), 0, Cells(rows_)));
  }
  // The selection named rows by their place, which sorting changed.
  Control value{.kind = ControlKind::kList, .id = ListControl(), .multiSelect = true};
  session.Update(DialogChange::ControlValues(std::move(value)));
}

void SenderListPage::Refill(DialogSession& session) {
  std::vector<Row> rows = CurrentRows();
  // Only the rows between the common beginning and the common end change: one entry
  // added or removed is one row sent, however long the list.
  auto same = [](const Row& a, const Row& b) {
    return a.pattern == b.pattern && a.domain == b.domain && a.name == b.name &&
           a.address == b.address;
  };
  std::size_t head = 0;
  while (head < rows.size() && head < rows_.size() && same(rows[head], rows_[head])) ++head;
  std::size_t tail = 0;
  while (tail < rows.size() - head && tail < rows_.size() - head &&
         same(rows[rows.size() - 1 - tail], rows_[rows_.size() - 1 - tail])) {
    ++tail;
  }
  const auto first = static_cast<std::int32_t>(head);
  const auto removed = static_cast<std::int32_t>(rows_.size() - head - tail);
  if (removed > 0) session.Update(DialogChange::RowsRemoved(ListControl(), first, removed));
  std::vector<Row> inserted(rows.begin() + static_cast<std::ptrdiff_t>(head),
                            rows.end() - static_cast<std::ptrdiff_t>(tail));
  if (!inserted.empty()) {
    session.Update(DialogChange::RowsInserted(ListControl(), first, Cells(inserted)));
  }
  rows_ = std::move(rows);
}

void SenderListPage::Changed(DialogSession& session) {
  Refill(session);
  if (opposite_ != nullptr) opposite_->Refill(session);
}

ListPageLists SenderListPage::Lists() {
  ListKind kind = ListKind::kSafeRecipients;
  if (which_ == ListPage::kWhiteList) kind = ListKind::kWhiteList;
  if (which_ == ListPage::kBlackList) kind = ListKind::kBlackList;
  ContactList& opposite = opposite_ != nullptr ? opposite_->list() : list();
  return {kind, list(), patterns(), opposite};
}

bool SenderListPage::AddEntry(DialogSession& session, const std::string& address,
                              const std::string& name) {
  std::string ansiAddress, ansiName;
  std::string problem = CheckEntryText(address, "address", &ansiAddress);
  if (problem.empty()) problem = CheckEntryText(name, "name", &ansiName);
  if (!problem.empty()) {
    context_.ui.Show(problem, std::string(platform::kProductName),
                     platform::MB_OK | platform::MB_ICONWARNING);
    return false;
  }
  if (!AddListEntry(context_.ui, Lists(), ansiAddress, ansiName, context_.clock.Now())) {
    return false;
  }
  Changed(session);
  return true;
}

ListEntryRef SenderListPage::RefOf(std::size_t row) const {
  return {.pattern = rows_[row].pattern, .text = rows_[row].address};
}

bool SenderListPage::EditRow(DialogSession& session, Ui& ui, std::size_t row) {
  if (row >= rows_.size()) return false;
  if (!EditListEntry(ui, Lists(), RefOf(row), context_.clock.Now())) return false;
  Changed(session);
  return true;
}

bool SenderListPage::RemoveRows(DialogSession& session, const std::vector<std::int32_t>& rows) {
  std::vector<ListEntryRef> refs;
  for (std::int32_t row : rows) {
    if (row >= 0 && static_cast<std::size_t>(row) < rows_.size()) {
      refs.push_back(RefOf(static_cast<std::size_t>(row)));
    }
  }
  if (!RemoveListEntries(context_.ui, Lists(), refs)) return false;
  Changed(session);
  return true;
}

std::int32_t SenderListPage::RowOf(const std::string& text) const {
  const std::string ansi = platform::Utf8ToAnsi(text);
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    if (platform::EqualsNoCase(rows_[i].address, ansi)) return static_cast<std::int32_t>(i);
  }
  return -1;
}

bool SenderListPage::FileError(int code) {
  context_.ui.Show(std::string("File Error:\n") + std::strerror(code),
                   std::string(platform::kProductName), platform::MB_OK | platform::MB_ICONERROR);
  return false;
}

bool SenderListPage::Import(DialogSession& session, const std::string& path) {
  ListFileContents file;
  if (const int code = ReadListFile(path, context_.clock, &file)) return FileError(code);
  ApplyImport(session, file);
  return true;
}

std::size_t SenderListPage::ApplyImport(DialogSession& session, const ListFileContents& file) {
  const std::size_t added = ApplyListFile(copy_, which_, file);
  Changed(session);
  return added;
}

bool SenderListPage::Export(const std::string& path) {
  if (const int code = ExportListOfPage(copy_, which_, path)) return FileError(code);
  return true;
}

bool SenderListPage::OnButton(DialogSession& session, std::int32_t button) {
  auto resolve = [this](const std::string& path) {
    return context_.resolvePath ? context_.resolvePath(path) : path;
  };
  const std::vector<std::int32_t> selected = session.dialog().Find(ListControl())->selectedRows;
  if (button == ButtonId(kListAdd)) {
    std::string address, name;
    if (RunEditEntry(context_.ui, &address, &name)) AddEntry(session, address, name);
  } else if (button == ButtonId(kListEdit)) {
    if (selected.size() == 1) EditRow(session, context_.ui, static_cast<std::size_t>(selected[0]));
  } else if (button == ButtonId(kListRemove)) {
    RemoveRows(session, selected);
  } else if (button == ButtonId(kListSortByName) || button == ButtonId(kListSortByAddress)) {
    SortBy(session, button == ButtonId(kListSortByName) ? 0 : 1);
  } else if (button == ButtonId(kListImport)) {
    if (auto path = AskOpenPath(context_.ui)) Import(session, resolve(*path));
  } else if (button == ButtonId(kListExport)) {
    auto exists = [this, resolve](const std::string& path) {
      return context_.fileExists && context_.fileExists(resolve(path));
    };
    if (auto path = AskSavePath(context_.ui, exists)) Export(resolve(*path));
  } else {
    return false;
  }
  return true;
}

void SenderListPage::Take(const Dialog& dialog) { TakeSwitches(Id(), dialog, copy_); }

}  // namespace quorvel::ui
