// The add-in's commands as its toolbar, menu and keys show them: each command's
// caption, tooltip and shortcut text (the three parts of its string, split at "\n"),
// its menu item and its image in the strip; the order of the strip, the toolbar's
// buttons, the menu and the key table. Data only; outlook/toolbar.h puts it on a
// window's command bars.
#ifndef QUORVEL_UI_TOOLBAR_COMMANDS_H_
#define QUORVEL_UI_TOOLBAR_COMMANDS_H_

#include <array>
#include <optional>
#include <span>
#include <string_view>

namespace quorvel::ui {

inline constexpr int kCmdGoodEmail = 32775;
inline constexpr int kCmdJunkEmail = 32776;
inline constexpr int kCmdAddDomain = 32777;  // bound to Ctrl+Alt+D; no handler takes it
inline constexpr int kCmdTestMessage = 32778;
inline constexpr int kCmdCheckFolder = 32781;
inline constexpr int kCmdEmptySpamFolder = 32782;
inline constexpr int kCmdOptions = 32783;
inline constexpr int kCmdEmailToSupport = 32787;
inline constexpr int kCmdHelp = 32788;
inline constexpr int kCmdCustomizeToolbar = 32789;

// The toolbar's name, also the first part of every button's tag.
inline constexpr std::string_view kToolbarName = "Quorvel";
// The images: one strip of 16x16 faces, 160x16; this colour (RGB 192,192,192) is
// transparent.
inline constexpr int kImageSize = 16;
inline constexpr std::string_view kTransparentColour = "#C0C0C0";
inline constexpr std::string_view kImageStripFile = "toolbar.xpm";

struct CommandText {
  int id;
  std::string_view resource;  // "caption\ntooltip\nshortcut", later parts may be missing
  std::string_view menuItem;  // "" : not on the menu
  int image;                  // index in the strip, -1: none
};

// Every command of the toolbar, menu and keys.
std::span<const CommandText> Commands();
// The command `id`, or null.
const CommandText* FindCommand(int id);

// The parts of a command's string.
struct CommandParts {
  std::string_view caption, tooltip, shortcut;
};
CommandParts SplitCommandText(std::string_view resource);

// The strip's slots in order: the command whose image each holds (0: a slot that no
// command takes).
inline constexpr std::array<int, 10> kImageStripOrder = {
    kCmdGoodEmail,   kCmdJunkEmail,       0,        kCmdOptions,
    kCmdCheckFolder, kCmdEmailToSupport,  kCmdHelp, kCmdEmptySpamFolder,
    kCmdTestMessage, kCmdCustomizeToolbar};

// The toolbar's buttons in order; the last (Options) is fixed: never customized.
inline constexpr std::array<int, 6> kToolbarButtons = {kCmdGoodEmail,       kCmdJunkEmail,
                                                       kCmdTestMessage,     kCmdCheckFolder,
                                                       kCmdEmptySpamFolder, kCmdOptions};

// The menu's items in order; 0 is a separator.
inline constexpr std::array<int, 12> kMenuItems = {kCmdGoodEmail,
                                                   kCmdJunkEmail,
                                                   0,
                                                   kCmdTestMessage,
                                                   kCmdCheckFolder,
                                                   kCmdEmptySpamFolder,
                                                   0,
                                                   kCmdOptions,
                                                   kCmdCustomizeToolbar,
                                                   0,
                                                   kCmdEmailToSupport,
                                                   kCmdHelp};
inline constexpr std::string_view kMenuCaption = "&Quorvel";

// The keys that act, each Ctrl+Alt with a letter.
struct KeyCommand {
  char letter;
  int command;
};
inline constexpr std::array<KeyCommand, 5> kKeyTable = {{{'D', kCmdAddDomain},
                                                         {'E', kCmdJunkEmail},
                                                         {'F', kCmdGoodEmail},
                                                         {'M', kCmdEmptySpamFolder},
                                                         {'N', kCmdCheckFolder}}};

// The command of a key given as text ("Ctrl+Alt+F", case and spaces as a front end
// writes them), or nothing when the key table has none.
std::optional<int> CommandOfKey(std::string_view keys);

}  // namespace quorvel::ui

#endif  // QUORVEL_UI_TOOLBAR_COMMANDS_H_
