// The "Select Folder" dialog: one folder chosen from a list of paths, with OK and
// Cancel. The options sheet's spam folder and the first-run wizard's Add ask through
// it, each with its own list (every folder by its path, or the mail folders by their
// names from the top) and its own label.
//
// Thread-safety: as the presenter it is shown through.
#ifndef QUORVEL_UI_FOLDER_CHOICE_H_
#define QUORVEL_UI_FOLDER_CHOICE_H_

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "ui/ui.h"

namespace quorvel::ui {

inline constexpr char kFolderChoiceKind[] = "pick-folder";
inline constexpr char kFolderChoiceControl[] = "folder";

// The index in `paths` of the folder chosen; nothing when the user cancels, chooses
// none, or nobody can answer.
std::optional<std::size_t> ChooseFolder(Ui& ui, const std::vector<std::string>& paths,
                                        std::string label);

}  // namespace quorvel::ui

#endif  // QUORVEL_UI_FOLDER_CHOICE_H_
