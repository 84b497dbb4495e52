#include "platform/string_table.h"

#include <algorithm>
#include <iterator>

namespace quorvel::platform {
namespace {

struct Entry {
  unsigned id;
  std::string_view text;
};

// Sorted by id. Texts are exactly as the user sees them; "%s" and similar
// placeholders are filled by the caller.
constexpr Entry kStrings[] = {
    {0, ""},  // placeholder so the table is never empty; LoadString(0) gives ""
    // Messages about the spam folder, its default name, the tray popup's text.
    {129, "You set Inbox as  spam storage.\nPlease choose another folder."},
    {150, "Spam"},
    {185, "You've got %u spam message%s"},
    {198, "Message is recognized as Junk e-mail"},
    {199, "Message is recognized as Good e-mail"},
    {210,
     "Quorvel cannot empty the spam folder because it is used as a receive folder for some "
     "message store."},
    // Reasons of the rule chain and the predefined rules.
    {211, "Recipient's address is in Safe Recipients List\n%s"},
    {212, "Blank \"From\" field"},
    {216, "Sender's domain is in White List\n%s"},
    {217, "Sender's address is in White List\n%s"},
    {218, "Sender's address matches with one of the White List wilcdards\n%s"},
    {220, "Sender's domain is in Black List\n%s"},
    {221, "Sender's address is in Black List\n%s"},
    {222, "Sender's address matches with one of the Black List wilcdards\n%s"},
    {223, "The message contains word from custom Not-Spam Dictionary\n%s"},
    {224, "The message contains spam word from custom dictionary\n%s"},
    {225, "Predefined Rule\nEmpty message with HTML attachment"},
    {227, "Predefined Rule\nEmpty message"},
    {228, "Bayesian Filter\nTotal Score is %.2f\r\n-------------------\r\n%s"},
    {229, "Bayesian Filter\nNot enough information. Suspected for spam"},
    {230, "Selected item is not e-mail item."},
    {231, "Selected item is Draft."},
    {232, "Bayesian Filter\nUnknown Spam"},
    {233, "The message was sent from the same e-mail account\n%s"},
    {234, "Report from anti-virus software"},
    {235, "Not Delivery Report: Possible spam or virus attack.\r\n"},
    {236, "Delivery Status Notification\r\n"},
    {237, "The message contains an image from internet"},
    {238, "The message contains an image with external link"},
    {239, "The message contains suspicious image"},
    {240, "The message has incorrect HTML format"},
    {241, "Predefined Rule\nAttached executable files."},
    {244, "Reverse DNS lookup failed. Suspected for spam."},
    {245, "My own email (correct display name)."},
    {541, "Could not load spam mail base.\nPlease reinstall Quorvel."},
    {551, "You should select a mail item."},
    {557, "Please select only one mail item."},
    {559,
     "Warning: Spam folder was moved or deleted.\nPlease choose another Spam folder in Quorvel "
     "settings."},
    {560,
     "Spam folder cannot be found. It could be possibly deleted. Quorvel will use \"Spam\" "
     "subfolder of \"Inbox\" folder as a default spam folder. You can use Quorvel Settings "
     "menu to define another spam folder."},
    {561, "Quorvel cannot find spam folder.\nPlease, restart Microsoft Outlook."},
    {583,
     "There are some problems with finding Spam Folder.\nPlease go to Options and reassign new "
     "folder."},
    {602, "Are you sure you want to delete all items in the Spam folder?"},
    {604, "Could not load spam mail base.\nPlease reinstall Quorvel."},
};

}  // namespace

std::string_view LoadString(unsigned id) {
  auto it = std::lower_bound(std::begin(kStrings), std::end(kStrings), id,
                             [](const Entry& e, unsigned key) { return e.id < key; });
  if (it == std::end(kStrings) || it->id != id) return {};
  return it->text;
}

}  // namespace quorvel::platform
