// List files for the three list pages of the settings record.
//
// An import reads the file into a fresh list; its patterns go straight into the
// page's own pattern set. The White List page then takes the imported contacts out
// of the Black List and merges them into the White List; the Black List page the
// reverse; the Safe Recipients page only merges. No confirmation is asked: an
// imported address that was on the opposite list simply leaves it. The other list's
// patterns are never touched.
//
// Thread-safety: none; pass the options sheet's copy of the record, or hold the
// settings lock around a call on the live one.
#ifndef QUORVEL_SETTINGS_LIST_IMPORT_H_
#define QUORVEL_SETTINGS_LIST_IMPORT_H_

#include <cstddef>
#include <string>
#include <vector>

#include "lists/contact_list.h"
#include "lists/string_set.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "settings/user_settings.h"

namespace quorvel {

enum class ListPage { kSafeRecipients, kWhiteList, kBlackList };

// Puts an imported list into the page's list (and out of the opposite one).
void ApplyListImport(UserSettings& settings, ListPage page, const ContactList& imported);

// A list file read into memory, to be put into a page: reading takes no lock, so a
// command reads the file first and then changes the settings under their lock.
struct ListFileContents {
  ContactList list;
  StringSet patterns;
  std::vector<std::string> problems;  // one per line that was skipped, naming it
};

// Reads the list file at `path`. Returns 0 or an OS error code (errno value).
int ReadListFile(const std::string& path, const platform::Clock& clock, ListFileContents* file,
                 platform::FileSystem& files = platform::RealFileSystem());

// Puts the file's entries and patterns into the page (and its entries out of the
// opposite list). Returns how many entries and patterns the page gained.
std::size_t ApplyListFile(UserSettings& settings, ListPage page, const ListFileContents& file);

// ReadListFile and ApplyListFile in one. On an error nothing changes.
int ImportListToPage(UserSettings& settings, ListPage page, const std::string& path,
                     const platform::Clock& clock);

// Writes the page's patterns and list to `path` (replacing any file there only when
// all of it was written). Returns 0 or an OS error code.
int ExportListOfPage(const UserSettings& settings, ListPage page, const std::string& path);

}  // namespace quorvel

#endif  // QUORVEL_SETTINGS_LIST_IMPORT_H_
