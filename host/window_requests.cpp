#include "host/window_requests.h"

#include <charconv>
#include <ostream>

#include "host/command_request.h"
#include "host/folder_path.h"
#include "host/mailbox_listing.h"

namespace quorvel::host {
namespace {

// File time of 1 January 1970.
constexpr std::uint64_t kUnixEpochFileTime = 116444736000000000ull;

protocol::Error Failure(std::uint64_t id, Outcome outcome) {
  return protocol::Error{id, std::move(outcome)};
}

// The folder `name` gives: an entry id, else a path; "" the window's own.
Outcome FindFolder(Application& application, const std::string& name,
                   std::shared_ptr<MAPIFolder>* folder) {
  if (name.empty()) {
    std::shared_ptr<Explorer> window = application.ActiveExplorer();
    if (!window || !window->CurrentFolder()) {
      return Outcome::Of(OutcomeCode::kRefused, "the host shows no window to take a folder from");
    }
    *folder = window->CurrentFolder();
    return Outcome::Ok();
  }
  NameSpace& nameSpace = *application.Session();
  if (auto byId = nameSpace.GetFolderFromID(name); byId.ok() && byId.value) {
    *folder = byId.value;
    return Outcome::Ok();
  }
  return FindFolderByPath(nameSpace, name, folder);
}

Outcome FindItems(Application& application, const std::vector<std::string>& ids,
                  std::vector<std::shared_ptr<MailItem>>* items) {
  for (const std::string& id : ids) {
    auto item = application.Session()->GetItemFromID(id);
    if (!item.ok() || !item.value) {
      return Outcome::Of(OutcomeCode::kNotFound, "no message has the id " + id);
    }
    items->push_back(item.value);
  }
  return Outcome::Ok();
}

protocol::Message Items(Application& application, const protocol::ListItemsRequest& request) {
  std::shared_ptr<MAPIFolder> folder;
  if (Outcome found = FindFolder(application, request.folder, &folder); !found.ok()) {
    return Failure(request.id, found);
  }
  protocol::ItemList list{request.id, folder->EntryID(), FolderPathOf(*folder)};
  list.first = request.first;
  std::uint32_t total = 0;  // from the listing that gives the rows
  // The window keeps the page's table until its next page (Explorer::KeepLastPage):
  // the old one is let go only after the new page is read.
  std::shared_ptr<Explorer> window = application.ActiveExplorer();
  std::shared_ptr<mapi::Table> table;
  const std::uint32_t count = request.count == 0 || request.count > protocol::kMaxItemsPerRequest
                                  ? protocol::kMaxItemsPerRequest
                                  : request.count;
  Outcome listed = ListItems(
      *application.Session(), *folder, request.first, count,
      [&](const ItemRow& row) {
        protocol::ItemEntry e;
        e.id = row.entryId;
        e.name = row.name;
        e.senderName = row.senderName;
        e.senderAddress = row.senderAddress;
        e.subject = row.subject;
        if (row.received > kUnixEpochFileTime) {
          e.received = static_cast<std::int64_t>((row.received - kUnixEpochFileTime) / 10000000ull);
        }
        e.read = row.read;
        e.size = row.size;
        list.items.push_back(std::move(e));
        return true;
      },
      &total, &table);
  if (window) window->KeepLastPage(std::move(table));
  if (!listed.ok()) return Failure(request.id, listed);
  list.total = total;
  return list;
}

protocol::Message Select(Application& application, const protocol::SelectRequest& request) {
  std::shared_ptr<Explorer> window = application.ActiveExplorer();
  if (!window) return Failure(request.id, Outcome::Of(OutcomeCode::kRefused, "no window is open"));
  std::shared_ptr<MAPIFolder> folder;
  if (Outcome found = FindFolder(application, request.folder, &folder); !found.ok()) {
    return Failure(request.id, found);
  }
  std::vector<std::shared_ptr<MailItem>> items;
  if (Outcome found = FindItems(application, request.items, &items); !found.ok()) {
    return Failure(request.id, found);
  }
  for (const auto& item : items) {
    std::shared_ptr<MAPIFolder> parent = item->Parent();
    if (!parent || parent->EntryID() != folder->EntryID()) {
      return Failure(request.id, Outcome::Of(OutcomeCode::kRefused, "message " + item->EntryID() +
                                                                        " is not in the folder " +
                                                                        FolderPathOf(*folder)));
    }
  }
  if (!window->CurrentFolder() || window->CurrentFolder()->EntryID() != folder->EntryID()) {
    window->SetCurrentFolder(folder);
  }
  window->Select(Selection(std::move(items)));
  protocol::Selected selected{request.id, folder->EntryID(), {}};
  for (const auto& item : window->Selection().all()) selected.items.push_back(item->EntryID());
  return selected;
}

protocol::BarControl Describe(CommandBarControl& c) {
  protocol::BarControl out;
  out.type = c.Type() == msoControlPopup ? "popup" : "button";
  out.caption = c.caption;
  out.tooltip = c.tooltipText;
  out.shortcut = c.shortcutText;
  out.tag = c.tag;
  std::from_chars(c.parameter.data(), c.parameter.data() + c.parameter.size(), out.command);
  out.face = c.face;
  out.visible = c.visible;
  out.enabled = c.enabled;
  out.beginGroup = c.beginGroup;
  if (c.Type() == msoControlPopup) {
    for (const auto& inner : c.Controls().all()) {
      out.controls.push_back(Describe(*inner));
    }
  }
  return out;
}

}  // namespace

protocol::CommandBarList DescribeCommandBars(CommandBars& bars) {
  protocol::CommandBarList list;
  for (int i = 1; i <= bars.Count(); ++i) {
    std::shared_ptr<CommandBar> bar = bars.Item(i);
    protocol::Bar out{bar->Name(), bar->position, bar->visible, bar->rowIndex, bar->left, bar->top};
    for (const auto& control : bar->Controls().all()) out.controls.push_back(Describe(*control));
    list.bars.push_back(std::move(out));
  }
  for (const Accelerator& key : bars.accelerators) list.keys.push_back({key.keys, key.command});
  return list;
}

void WindowClientGone(Application& application) {
  host::Explorers* windows = application.Explorers();
  if (windows == nullptr) return;
  for (int i = 1; i <= windows->Count(); ++i) windows->Item(i)->KeepLastPage(nullptr);
}

protocol::Message AnswerWindowRequest(Application& application, const protocol::Message& request) {
  if (const auto* items = std::get_if<protocol::ListItemsRequest>(&request)) {
    return Items(application, *items);
  }
  if (const auto* select = std::get_if<protocol::SelectRequest>(&request)) {
    return Select(application, *select);
  }
  if (const auto* bars = std::get_if<protocol::CommandBarsRequest>(&request)) {
    std::shared_ptr<Explorer> window = application.ActiveExplorer();
    if (!window) return Failure(bars->id, Outcome::Of(OutcomeCode::kRefused, "no window is open"));
    protocol::CommandBarList list = DescribeCommandBars(window->CommandBars());
    list.id = bars->id;
    return list;
  }
  return Failure(0, Outcome::Of(OutcomeCode::kRefused, "not a request about the window"));
}

Outcome ClickTarget(Application& application, const protocol::ClickRequest& click,
                    std::shared_ptr<MAPIFolder>* folder, Selection* selection) {
  if (click.folder.empty()) {
    std::shared_ptr<Explorer> window = application.ActiveExplorer();
    if (!window) return Outcome::Of(OutcomeCode::kRefused, "no window is open");
    *folder = window->CurrentFolder();
    *selection = window->Selection();
    return Outcome::Ok();
  }
  if (Outcome found = FindFolder(application, click.folder, folder); !found.ok()) return found;
  std::vector<std::shared_ptr<MailItem>> items;
  if (Outcome found = FindItems(application, click.items, &items); !found.ok()) return found;
  *selection = Selection(std::move(items));
  return Outcome::Ok();
}

int RunClick(Application& application, const std::vector<std::shared_ptr<AddIn>>& addIns,
             JobContext& job, const protocol::ClickRequest& click) {
  Application::ThreadPresenterScope presenter(application, job.presenter.get());
  std::shared_ptr<MAPIFolder> folder;
  Selection selection;
  Outcome target;
  if (!RunOnUserInterfaceThread(*job.loop, *job.cancel, [&] {
        target = ClickTarget(application, click, &folder, &selection);
      })) {
    return 1;
  }
  if (target.ok() && !folder)
    target = Outcome::Of(OutcomeCode::kRefused, "the window shows no folder");
  if (target.ok()) {
    target = ClickForRequest(application, addIns, click.command, std::move(folder),
                             std::move(selection));
  }
  if (!target.ok()) {
    job.err << "quorvel: " << target.message << "\n";
    return 1;
  }
  return 0;
}

}  // namespace quorvel::host
