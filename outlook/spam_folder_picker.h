// The folder picker of the options sheet's General page: the profile's folders as a
// choice (the mail client's folder picker), and a folder named by its path (as
// `quorvel folders` prints it). Either gives the folder's entry id, its friendly path
// ("Personal Folders -> Inbox -> Spam") and whether it holds mail; the page refuses
// one that does not.
//
// Threading: any thread that may use the namespace's session.
#ifndef QUORVEL_OUTLOOK_SPAM_FOLDER_PICKER_H_
#define QUORVEL_OUTLOOK_SPAM_FOLDER_PICKER_H_

#include <optional>
#include <string>

#include "host/object_model.h"
#include "ui/options_page.h"

namespace quorvel::outlook {

// The folder at `path`; nothing, with the reason in *error, when it is not there.
std::optional<ui::PickedFolder> FolderByPath(host::NameSpace& nameSpace, const std::string& path,
                                             std::string* error);

// Asks the user to choose one of the profile's folders in the "Select Folder" dialog
// (ui/folder_choice.h), every folder by its path as `quorvel folders` prints it (the
// page itself refuses one that holds no mail, saying why); nothing when cancelled.
std::optional<ui::PickedFolder> PickFolder(ui::Ui& ui, host::NameSpace& nameSpace);

}  // namespace quorvel::outlook

#endif  // QUORVEL_OUTLOOK_SPAM_FOLDER_PICKER_H_
