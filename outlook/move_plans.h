// Move plans: a marking's moves written down before they are made, so that a host
// stopped between the move and the marking's journal line (marking_journal.h) leaves
// the moves known, and `quorvel undo` can put the messages back.
//
// Before its one move, a marking writes "markings/<id>.moving" (atomically):
//   <pid>
//   junk|good move|command
//   <source folder's entry id in hex>
//   <destination folder's entry id in hex>
//   <the destination's friendly path>
//   <entry id in hex> <Message-ID>          one line per message to move
// and removes it once its journal line is written. A plan left by a process that is
// gone is settled by the next host to start (and by `quorvel undo`): when the journal
// has no line for the marking, the moves that were made (a message with the Message-ID
// in the destination and none in the source) get a marking line of their own, which
// learned nothing and changed no list; a junk marking's are told to `movedToSpam`
// (spam_returns.h) as well. A plan whose folders cannot be opened or whose line cannot
// be written stays for a later start.
//
// Threading: any thread; the functions touch only the files and the session given.
#ifndef QUORVEL_OUTLOOK_MOVE_PLANS_H_
#define QUORVEL_OUTLOOK_MOVE_PLANS_H_

#include <functional>
#include <string>
#include <vector>

#include "mapi/session.h"
#include "outlook/journal_file.h"
#include "outlook/marking_record.h"
#include "platform/clock.h"
#include "platform/file_system.h"

namespace quorvel::outlook {

inline constexpr const char* kMovingSuffix = ".moving";

// Writes the plan of marking `id` (`record` so far, for its kind; `planned` the move
// about to be made, each message's `after` empty). `dataFolder` ends with '/'.
platform::FileStatus WriteMovePlan(platform::FileSystem& files, const std::string& dataFolder,
                                   const std::string& id, const MarkingRecord& record,
                                   const MarkingMove& planned);
// The marking's line is written: its plan goes.
void RemoveMovePlan(platform::FileSystem& files, const std::string& dataFolder,
                    const std::string& id);
// Settles the plans of processes that are gone (see above).
void SettleMovePlans(platform::FileSystem& files, const std::string& dataFolder,
                     mapi::Session& session, JournalFile& journal, platform::FileTime now,
                     const std::function<void(const std::vector<std::string>&)>& movedToSpam);

}  // namespace quorvel::outlook

#endif  // QUORVEL_OUTLOOK_MOVE_PLANS_H_
