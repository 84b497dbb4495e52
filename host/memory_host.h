// The object model in memory, for tests of the host and of the add-in: a mapi/memory
// session with one default store and its standard folders (Inbox, Outbox, Sent Items,
// Deleted Items, Drafts, Contacts), its namespace, and an application that shows
// dialogs through the given presenter.
//
//   ui::ScriptedUi ui;
//   MemoryHost box(ui);
//   auto explorer = box.application->Explorers()->Add(box.Inbox());
//   box.session->faults()...;   // make the store fail where a test needs it
#ifndef QUORVEL_HOST_MEMORY_HOST_H_
#define QUORVEL_HOST_MEMORY_HOST_H_

#include <memory>
#include <string>
#include <vector>

#include "host/application.h"
#include "host/store_namespace.h"
#include "mapi/memory/memory_session.h"

namespace quorvel::host {

struct MemoryHost {
  explicit MemoryHost(ui::Ui& presenter, std::string profileName = "Test",
                      std::vector<std::string> accounts = {"me@example.org"});

  std::shared_ptr<MAPIFolder> Inbox();

  std::shared_ptr<mapi::memory::MemorySession> session;
  mapi::memory::StoreLayout layout;
  std::shared_ptr<StoreNameSpace> nameSpace;
  std::unique_ptr<Application> application;
};

}  // namespace quorvel::host

#endif  // QUORVEL_HOST_MEMORY_HOST_H_
