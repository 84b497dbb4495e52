#include "host/command_request.h"

#include <string>

namespace quorvel::host {

RequestExplorer::RequestExplorer(Application& application, std::shared_ptr<MAPIFolder> folder,
                                 Selection selection)
    : application_(application) {
  explorer_ = application_.loop().Call([&] {
    return application_.Explorers()->OpenRequest(std::move(folder), std::move(selection));
  });
}

RequestExplorer::~RequestExplorer() {
  application_.loop().Call([this] { explorer_->Close(); });
}

std::vector<FolderSelection> SelectionsByFolder(const std::vector<LocatedMessage>& messages) {
  std::vector<FolderSelection> out;
  std::vector<std::vector<std::shared_ptr<MailItem>>> items;
  for (const LocatedMessage& m : messages) {
    std::size_t at = 0;
    while (at < out.size() && out[at].folder->EntryID() != m.folder->EntryID()) ++at;
    if (at == out.size()) {
      out.push_back({m.folder, Selection()});
      items.emplace_back();
    }
    bool seen = false;
    for (const auto& item : items[at]) seen = seen || item->EntryID() == m.item->EntryID();
    if (!seen) items[at].push_back(m.item);
  }
  for (std::size_t i = 0; i < out.size(); ++i) out[i].selection = Selection(std::move(items[i]));
  return out;
}

Outcome ClickForRequest(Application& application, const std::vector<std::shared_ptr<AddIn>>& addIns,
                        int commandId, std::shared_ptr<MAPIFolder> folder, Selection selection) {
  if (application.Explorers() == nullptr) {
    return Outcome::Of(OutcomeCode::kFailed, "the host has no explorers for a request");
  }
  RequestExplorer request(application, std::move(folder), std::move(selection));
  for (const auto& addIn : addIns) {
    if (addIn && addIn->OnRequestCommand(commandId, request.explorer())) return Outcome::Ok();
  }
  return Outcome::Of(OutcomeCode::kRefused, "no add-in of the host has the command " +
                                                std::to_string(commandId) +
                                                " (is the add-in registered and loaded?)");
}

Outcome ClickWithMessages(Application& application,
                          const std::vector<std::shared_ptr<AddIn>>& addIns, int commandId,
                          const std::vector<LocatedMessage>& messages) {
  for (FolderSelection& group : SelectionsByFolder(messages)) {
    Outcome clicked = ClickForRequest(application, addIns, commandId, std::move(group.folder),
                                      std::move(group.selection));
    if (!clicked.ok()) return clicked;
  }
  return Outcome::Ok();
}

}  // namespace quorvel::host
