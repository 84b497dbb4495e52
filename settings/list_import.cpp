#include "settings/list_import.h"

#include "lists/list_file.h"

namespace quorvel {
namespace {

// Which lists a page works on; the opposite list is the one an import takes its
// contacts out of (none for Safe Recipients).
struct PageLists {
  ContactList UserSettings::*list;
  StringSet UserSettings::*patterns;
  ContactList UserSettings::*opposite;
};

PageLists ListsOf(ListPage page) {
  switch (page) {
    case ListPage::kWhiteList:
      return {&UserSettings::whiteList, &UserSettings::whiteListWildcards,
              &UserSettings::blackList};
    case ListPage::kBlackList:
      return {&UserSettings::blackList, &UserSettings::blackListWildcards,
              &UserSettings::whiteList};
    case ListPage::kSafeRecipients:
      break;
  }
  return {&UserSettings::safeRecipients, &UserSettings::safeRecipientsWildcards, nullptr};
}

}  // namespace

void ApplyListImport(UserSettings& settings, ListPage page, const ContactList& imported) {
  const PageLists lists = ListsOf(page);
  if (lists.opposite != nullptr) (settings.*lists.opposite).Subtract(imported);
  (settings.*lists.list).Merge(imported);
}

int ImportListToPage(UserSettings& settings, ListPage page, const std::string& path,
                     const platform::Clock& clock) {
  const PageLists lists = ListsOf(page);
  ContactList imported;
  if (const int error = ImportList(imported, settings.*lists.patterns, path, clock)) return error;
  ApplyListImport(settings, page, imported);
  return 0;
}

int ExportListOfPage(const UserSettings& settings, ListPage page, const std::string& path) {
  const PageLists lists = ListsOf(page);
  return ExportList(settings.*lists.list, settings.*lists.patterns, path);
}

}  // namespace quorvel
