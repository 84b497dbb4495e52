#include "ui/list_page.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/code_page.h"
#include "platform/string_table.h"
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
      {.id = ButtonId(kListSortByName), .text = "Sort by &Name", .closes = false},
      {.id = ButtonId(kListSortByAddress), .text = "Sort by E-&mail Address", .closes = false},
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
  const auto old = static_cast<std::int32_t>(rows_.size());
  rows_ = CurrentRows();
  if (old > 0) session.Update(DialogChange::RowsRemoved(ListControl(), 0, old));
  if (!rows_.empty()) session.Update(DialogChange::RowsInserted(ListControl(), 0, Cells(rows_)));
}

bool SenderListPage::FileError(int code) {
  context_.ui.Show(std::string("File Error:\n") + std::strerror(code),
                   std::string(platform::kProductName), platform::MB_OK | platform::MB_ICONERROR);
  return false;
}

bool SenderListPage::Import(DialogSession& session, const std::string& path) {
  ListFileContents file;
  if (const int code = ReadListFile(path, context_.clock, &file)) return FileError(code);
  ApplyListFile(copy_, which_, file);
  Refill(session);
  if (opposite_ != nullptr) opposite_->Refill(session);
  return true;
}

bool SenderListPage::Export(const std::string& path) {
  if (const int code = ExportListOfPage(copy_, which_, path)) return FileError(code);
  return true;
}

bool SenderListPage::OnButton(DialogSession& session, std::int32_t button) {
  auto resolve = [this](const std::string& path) {
    return context_.resolvePath ? context_.resolvePath(path) : path;
  };
  if (button == ButtonId(kListSortByName) || button == ButtonId(kListSortByAddress)) {
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
