// A front end's requests about the host's window (protocol_window.h): a folder's items
// a range of rows at a time (the window keeps the last page's contents table until the
// next, so that paging through a large folder does not list it for every page), the selection of
// the window (SelectionChange reaches the add-in that follows it), and the window's command bars
// with their key table; and where a click lands: the folder and selection it names, else the
// window's.
//
// A folder is named by its entry id (hexadecimal) or its path ("Inbox/Spam"); "" is
// the folder the window shows.
//
// REQUIRES (but RunClick): called on the user-interface thread (explorers and their command bars
// belong to it). The application outlives the call.
#ifndef QUORVEL_HOST_WINDOW_REQUESTS_H_
#define QUORVEL_HOST_WINDOW_REQUESTS_H_

#include <memory>
#include <vector>

#include "host/add_in.h"
#include "host/application.h"
#include "host/job.h"
#include "host/outcome.h"
#include "host/protocol.h"

namespace quorvel::host {

// The answer to a ListItemsRequest, SelectRequest or CommandBarsRequest (ItemList,
// Selected, CommandBarList), or an Error: not-found for a folder or item that is not
// there, refused for a host without a window or another request.
protocol::Message AnswerWindowRequest(Application& application, const protocol::Message& request);

// A client that asked for pages of a window's folder left: every window lets go of
// the contents table it kept for the next page (at 100,000 messages a Maildir
// folder's listing of about 4 MB); the next page lists the folder anew.
void WindowClientGone(Application& application);

// The folder and items a click of `click` acts on.
Outcome ClickTarget(Application& application, const protocol::ClickRequest& click,
                    std::shared_ptr<MAPIFolder>* folder, Selection* selection);

// Runs a click as a job: the target found on the user-interface thread, then the
// command through the add-ins' command handler (command_request.h) on the job's
// thread, whose presenter asks the client. Returns the exit status (0 clicked, 1 not:
// the reason on job.err). Called on the job's thread, not the user-interface thread.
int RunClick(Application& application, const std::vector<std::shared_ptr<AddIn>>& addIns,
             JobContext& job, const protocol::ClickRequest& click);

// The bars as they travel: every bar, the menu bar first, with its controls; a
// control's `command` is its parameter read as a number (0: none).
protocol::CommandBarList DescribeCommandBars(CommandBars& bars);

}  // namespace quorvel::host

#endif  // QUORVEL_HOST_WINDOW_REQUESTS_H_
