#include "settings/list_import.h"

#include <iterator>

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

int ReadListFile(const std::string& path, const platform::Clock& clock, ListFileContents* file,
                 platform::FileSystem& files) {
  *file = ListFileContents{};
  return ImportList(file->list, file->patterns, path, clock, files, &file->problems);
}

std::size_t ApplyListFile(UserSettings& settings, ListPage page, const ListFileContents& file) {
  const PageLists lists = ListsOf(page);
  ContactList& list = settings.*lists.list;
  StringSet& patterns = settings.*lists.patterns;
  const auto size = [&] {
    return static_cast<std::size_t>(std::distance(list.begin(), list.end())) + patterns.Count();
  };
  const std::size_t before = size();
  for (const std::string& pattern : file.patterns) patterns.Insert(pattern);
  ApplyListImport(settings, page, file.list);
  return size() - before;
}

int ImportListToPage(UserSettings& settings, ListPage page, const std::string& path,
                     const platform::Clock& clock) {
  ListFileContents file;
  if (const int error = ReadListFile(path, clock, &file)) return error;
  ApplyListFile(settings, page, file);
  return 0;
}

int ExportListOfPage(const UserSettings& settings, ListPage page, const std::string& path) {
  const PageLists lists = ListsOf(page);
  return ExportList(settings.*lists.list, settings.*lists.patterns, path);
}

}  // namespace quorvel
