// The Empty Spam Folder command: after the user's Yes, every message of the spam
// folder deleted for good in one call (they do not go to Deleted Items). A spam folder
// that is the Inbox is never emptied.
//
// Threading: the thread the command runs on; the session may be used from any thread.
#ifndef QUORVEL_OUTLOOK_EMPTY_SPAM_H_
#define QUORVEL_OUTLOOK_EMPTY_SPAM_H_

#include <cstdint>

#include "mapi/session.h"
#include "settings/settings_holder.h"
#include "ui/ui.h"

namespace quorvel::outlook {

enum class EmptySpamEnd {
  kDeclined,  // the user did not answer Yes
  kIsInbox,   // the spam folder is the Inbox: 210 shown, nothing deleted
  kFailed,    // the folder or its contents could not be read, or the delete failed
  kEmptied,
};

struct EmptySpamOutcome {
  EmptySpamEnd end = EmptySpamEnd::kDeclined;
  std::uint32_t deleted = 0;
};

// Asks 602 ("Are you sure you want to delete all items in the Spam folder?", Yes and
// No, No the default: a delete for good is not what nobody's answer should do); on
// Yes deletes what the spam folder the settings name holds. Failures after the
// question are silent, except the Inbox (210, with an information icon).
EmptySpamOutcome EmptySpamFolder(ui::Ui& ui, mapi::Session& session, SettingsHolder& settings);

}  // namespace quorvel::outlook

#endif  // QUORVEL_OUTLOOK_EMPTY_SPAM_H_
