// The road of a command sent to the host: the folder and messages named with the
// command become an explorer of the request's own (explorer.h), and the command's id
// is clicked through the add-ins' command handler (AddIn::OnRequestCommand) with that
// explorer, the same road a click in a window takes. Messages from several folders
// are clicked folder by folder, each folder's messages as one selection, in the order
// their folders were first named.
//
// Threading: may run on the user-interface thread or on a request's own thread. The
// explorer is opened and closed on the user-interface thread (MessageLoop::Call);
// between the two it belongs to the request, and the add-in only reads it.
#ifndef QUORVEL_HOST_COMMAND_REQUEST_H_
#define QUORVEL_HOST_COMMAND_REQUEST_H_

#include <memory>
#include <vector>

#include "host/add_in.h"
#include "host/application.h"
#include "host/message_locator.h"
#include "host/outcome.h"

namespace quorvel::host {

// An explorer for one request, open for the object's lifetime.
class RequestExplorer {
 public:
  // REQUIRES: `application` has an explorers collection and outlives this object.
  RequestExplorer(Application& application, std::shared_ptr<MAPIFolder> folder,
                  Selection selection);
  ~RequestExplorer();
  RequestExplorer(const RequestExplorer&) = delete;
  RequestExplorer& operator=(const RequestExplorer&) = delete;

  Explorer& explorer() { return *explorer_; }

 private:
  Application& application_;
  std::shared_ptr<Explorer> explorer_;
};

// Located messages grouped by folder (folders compare by entry id), in first-seen
// order, each message once.
struct FolderSelection {
  std::shared_ptr<MAPIFolder> folder;
  Selection selection;
};
std::vector<FolderSelection> SelectionsByFolder(const std::vector<LocatedMessage>& messages);

// Clicks `commandId` with an explorer on `folder` showing `selection`: the first
// add-in of `addIns` that has the command runs it. Refused when none has it (no
// add-in is connected), failed for a host without windows.
Outcome ClickForRequest(Application& application, const std::vector<std::shared_ptr<AddIn>>& addIns,
                        int commandId, std::shared_ptr<MAPIFolder> folder, Selection selection);

// Clicks `commandId` once per folder of `messages`, each folder's as its selection;
// stops at the first click that does not succeed.
Outcome ClickWithMessages(Application& application,
                          const std::vector<std::shared_ptr<AddIn>>& addIns, int commandId,
                          const std::vector<LocatedMessage>& messages);

}  // namespace quorvel::host

#endif  // QUORVEL_HOST_COMMAND_REQUEST_H_
