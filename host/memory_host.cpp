#include "host/memory_host.h"

namespace quorvel::host {

MemoryHost::MemoryHost(ui::Ui& presenter, std::string profileName,
                       std::vector<std::string> accounts)
    : session(mapi::memory::MemorySession::Create()) {
  layout = session->AddStore({.displayName = "Personal Folders", .isDefault = true});
  session->SetProfileName(profileName);
  nameSpace = StoreNameSpace::Create(session, std::move(profileName), std::move(accounts));
  application = std::make_unique<Application>(nameSpace, presenter);
}

std::shared_ptr<MAPIFolder> MemoryHost::Inbox() {
  return nameSpace->FolderFor(layout.inbox, layout.store);
}

}  // namespace quorvel::host
