// Marking messages as Good or Junk e-mail: the routine behind the Good E-mail and Junk
// E-mail commands. For the messages selected in one folder it confirms what it does,
// learns each message into the mail base (weight 5, forced), adds the senders to the
// White or Black List through a list edit on copies (conflicts confirmed), offers a
// mailing list's sender for the Safe Recipients List, optionally takes in every other
// message of the same senders in that folder, moves them all in one move (junk into
// the spam folder, good out of it into the Inbox; the move written down before it is
// made), writes the marking down, puts what it
// learned into the mail base in one step, asks for a rebuild and saves the settings. The marking
// options say which of these steps run.
//
// Quiet mode (a message the user moved by hand): no questions at all. The
// confirmation is not shown, no mailing list is offered, the list edit is applied
// with its confirmations' defaults, and the senders reach a list only when the
// marking options say so.
//
// Threading: runs on the thread of the command (a request's own thread or the
// user-interface thread); it works on the mail-store session and the settings record
// (taking the settings lock only for each read and write, never across a dialog or a
// store call) and shows its questions through the presenter it is given. Learning
// takes the mail base's own lock.
#ifndef QUORVEL_OUTLOOK_MARKING_H_
#define QUORVEL_OUTLOOK_MARKING_H_

#include <functional>
#include <string>
#include <vector>

#include "host/explorer.h"
#include "mapi/entry_id.h"
#include "mapi/session.h"
#include "outlook/add_in_process.h"
#include "outlook/marking_record.h"
#include "platform/clock.h"
#include "ui/ui.h"

namespace quorvel::outlook {

// String-table numbers of the marking's messages.
inline constexpr unsigned kStringSelectMailItem = 551;
inline constexpr unsigned kStringMailingList = 614;

// The mailing-list header names, searched in this order (as field names at the start
// of a header line, in any case).
inline constexpr const char* kMailingListHeaders[] = {
    "Mailing-List",     "List-Post",      "List-Owner", "List-Id",
    "List-Unsubscribe", "List-Subscribe", "List-Help",  "List-Archive"};

// What a marking needs; every reference outlives the call.
struct MarkingContext {
  AddInProcess& process;  // the live settings and the mail base
  mapi::Session& session;
  ui::Ui& ui;  // asks whoever gave the command
  // Writes the marking down and puts what it learned (record.counts) into the mail
  // base (CommitMarking), called once everything else is done and before the settings
  // are saved. Empty: the counts are only added to the mail base.
  std::function<void(MarkingRecord&)> commit = {};
  // Writes the move down before it is made (move_plans.h), given the record so far and
  // the move as planned (every `after` empty). Empty: nothing is written.
  std::function<void(const MarkingRecord&, const MarkingMove&)> beforeMove = {};
  // Told the Message-IDs a junk marking moved into the spam folder (spam_returns.h),
  // right after the move. Empty: nobody is told.
  std::function<void(const std::vector<std::string>&)> movedToSpam = {};
};

// The messages of one folder to mark.
struct MarkingSelection {
  mapi::EntryId folder;
  std::vector<mapi::EntryId> messages;
};

// The routine on the messages of one folder. Messages that cannot be opened are
// skipped; a folder that cannot be opened skips learning and the move but still
// applies the list edit, rebuilds and saves.
MarkingRecord MarkMessages(MarkingContext& context, const MarkingSelection& selection,
                           MarkingMode mode, bool quiet);

// The command's routine for an explorer: nothing without one, nor for a folder that
// is not a mail folder; an empty selection is message 551 ("You should select a mail
// item."); otherwise MarkMessages with the selection's mail items.
MarkingRecord MarkExplorer(MarkingContext& context, host::Explorer* explorer, MarkingMode mode);

}  // namespace quorvel::outlook

#endif  // QUORVEL_OUTLOOK_MARKING_H_
