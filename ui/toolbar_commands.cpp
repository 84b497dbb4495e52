#include "ui/toolbar_commands.h"

#include <cctype>
#include <string>

namespace quorvel::ui {
namespace {

constexpr CommandText kCommands[] = {
    {kCmdGoodEmail, "&Good E-mail\nThe message will be used as an example of good mail\nCtrl+Alt+A",
     "&Good Email", 0},
    {kCmdJunkEmail, "&Junk E-mail\nThe message will be used as an example of spam\nCtrl+Alt+B",
     "&Junk Email", 1},
    {kCmdAddDomain, "Add &Domain to White List\nAdd sender's domain to White list\nCtrl+Alt+D", "",
     -1},
    {kCmdTestMessage, "&Test Message\nTest Message", "&Test Message", 8},
    {kCmdCheckFolder, "&Check Folder\nCheck folder for spam\nCtrl+Alt+C", "&Check Folder", 4},
    {kCmdEmptySpamFolder, "E&mpty Spam Folder\nDelete all items from spam folder\nCtrl+Alt+E",
     "E&mpty Spam Folder", 7},
    {kCmdOptions, "&Options\nOptions", "&Options...", 3},
    {kCmdEmailToSupport, "&Email to support...\nEmail to support", "&Email to support...", 5},
    {kCmdHelp, "&Help\nHelp", "&Help", 6},
    {kCmdCustomizeToolbar, "Customize Toolbar...\nCustomize Toolbar", "Customize tool&bar...", 9},
};

}  // namespace

std::span<const CommandText> Commands() { return kCommands; }

const CommandText* FindCommand(int id) {
  for (const CommandText& c : kCommands) {
    if (c.id == id) return &c;
  }
  return nullptr;
}

CommandParts SplitCommandText(std::string_view resource) {
  CommandParts parts;
  std::string_view* fields[] = {&parts.caption, &parts.tooltip, &parts.shortcut};
  for (std::string_view* field : fields) {
    const std::size_t end = resource.find('\n');
    *field = resource.substr(0, end);
    if (end == std::string_view::npos) break;
    resource.remove_prefix(end + 1);
  }
  return parts;
}

std::optional<int> CommandOfKey(std::string_view keys) {
  std::string folded;
  for (char c : keys) {
    if (c != ' ') folded.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
  }
  for (const KeyCommand& k : kKeyTable) {
    if (folded == std::string("CTRL+ALT+") + k.letter) return k.command;
  }
  return std::nullopt;
}

}  // namespace quorvel::ui
