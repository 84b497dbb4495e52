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

#include <string>

#include "lists/contact_list.h"
#include "platform/clock.h"
#include "settings/user_settings.h"

namespace quorvel {

enum class ListPage { kSafeRecipients, kWhiteList, kBlackList };

// Puts an imported list into the page's list (and out of the opposite one).
void ApplyListImport(UserSettings& settings, ListPage page, const ContactList& imported);

// Imports the list file at `path` into the page. Returns 0 or an OS error code
// (errno value); on an error nothing changes.
int ImportListToPage(UserSettings& settings, ListPage page, const std::string& path,
                     const platform::Clock& clock);

// Writes the page's patterns and list to `path` (replacing any file there only when
// all of it was written). Returns 0 or an OS error code.
int ExportListOfPage(const UserSettings& settings, ListPage page, const std::string& path);

}  // namespace quorvel

#endif  // QUORVEL_SETTINGS_LIST_IMPORT_H_
