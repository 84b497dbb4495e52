// Taking a marking back (`quorvel undo`): what it learned is unlearned and the mail
// base rebuilt, the list entries it added are removed and those it removed put back,
// and the messages it moved are moved back where they were. Everything is checked
// first (the counts file whole, every message still where the marking put it, the
// counts still there to take), so that a marking that cannot be taken back is left
// as it is.
//
// A marking that a later one (not undone) depends on is refused: one that moved one
// of its messages again, or changed one of its list entries.
//
// Threading: on the thread that runs commands in the host; the settings lock is taken
// for the list changes only, the mail base's locks by the mail base itself.
#ifndef QUORVEL_OUTLOOK_MARKING_UNDO_H_
#define QUORVEL_OUTLOOK_MARKING_UNDO_H_

#include <optional>
#include <string>
#include <vector>

#include "mapi/session.h"
#include "outlook/add_in_process.h"
#include "outlook/marking_journal.h"
#include "outlook/unsaved_markings.h"

namespace quorvel::outlook {

// The first of `later` (markings made after `entry`, not undone) that depends on it.
std::optional<MarkingEntry> DependentMarking(const MarkingEntry& entry,
                                             const std::vector<MarkingEntry>& later);

// Takes `entry` back and writes its undo line in the journal (before its counts leave
// the mail base: unsaved_markings.h). False, with *error saying why, when it could
// not; nothing of the marking is changed then (a line written is voided), except when
// only the lists could not be saved.
bool UndoMarking(AddInProcess& process, mapi::Session& session, const MarkingEntry& entry,
                 std::string* error);

}  // namespace quorvel::outlook

#endif  // QUORVEL_OUTLOOK_MARKING_UNDO_H_
