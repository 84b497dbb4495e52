// The Test Message command: the one message selected in a window judged with the same
// rules as new mail (kStandardFlags: nothing learned, nothing moved), and the verdict
// shown with its reason (ui/test_message_dialog.h).
//
// Threading: the thread the command runs on; the explorer is only read.
#ifndef QUORVEL_OUTLOOK_TEST_MESSAGE_H_
#define QUORVEL_OUTLOOK_TEST_MESSAGE_H_

#include "core/verdict.h"
#include "host/explorer.h"
#include "host/object_model.h"
#include "outlook/spam_judge.h"
#include "ui/ui.h"

namespace quorvel::outlook {

// Judges `item` with `flags`, asking for the reason, and shows the short or the long
// result dialog. E_FAIL (and no dialog) when the item has no message behind it.
mapi::HRESULT TestItem(ui::Ui& ui, SpamJudge& judge, host::MailItem& item, ClassifyFlags flags);

// The command on `explorer`'s selection: nothing in a folder that does not hold mail;
// "You should select a mail item." (551) without an explorer or a selection; "Please
// select only one mail item." (557) for more than one item; else TestItem with
// kStandardFlags. Returns S_OK.
mapi::HRESULT TestSelection(ui::Ui& ui, SpamJudge& judge, host::Explorer* explorer);

}  // namespace quorvel::outlook

#endif  // QUORVEL_OUTLOOK_TEST_MESSAGE_H_
