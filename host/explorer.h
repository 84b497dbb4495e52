// Explorers: the windows of the mail client, each showing one folder with a selection
// of its items, with their command bars and events. Modelled on `_Explorer`,
// `_Explorers`, `Selection`, `ExplorerEvents` and `ExplorersEvents`.
//
// In this host an explorer is whatever a front end shows: each command sent by a
// client runs against an explorer of its own (the folder and messages named on its
// command line), and a desktop window is an explorer for as long as it is open.
// A request's explorer (Explorers::OpenRequest) is no window: it is not in the
// collection, raises no NewExplorer, never comes to the front (Activate does nothing)
// and its Close reaches only its own sinks, so it never takes the add-in's window away.
//
// Events are delivered to sinks registered with Advise, which returns a connection
// number (never 0) for Unadvise. A sink may unadvise itself, or any other sink, while
// an event is delivered; sinks added during an event see the next one.
//
// Threading: the host's user-interface thread only.
#ifndef QUORVEL_HOST_EXPLORER_H_
#define QUORVEL_HOST_EXPLORER_H_

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/command_bars.h"
#include "host/object_model.h"

namespace quorvel::host {

class Explorer;
class Explorers;

class ExplorerEvents {
 public:
  virtual ~ExplorerEvents() = default;
  virtual void Activate() {}
  virtual void SelectionChange() {}
  virtual void Close() {}
};

class ExplorersEvents {
 public:
  virtual ~ExplorersEvents() = default;
  virtual void NewExplorer(const std::shared_ptr<Explorer>& explorer) = 0;
};

// The chosen items of an explorer; Item counts from 1.
class Selection {
 public:
  Selection() = default;
  explicit Selection(std::vector<std::shared_ptr<MailItem>> items) : items_(std::move(items)) {}
  int Count() const { return static_cast<int>(items_.size()); }
  std::shared_ptr<MailItem> Item(int index) const;  // null outside 1..Count
  const std::vector<std::shared_ptr<MailItem>>& all() const { return items_; }

 private:
  std::vector<std::shared_ptr<MailItem>> items_;
};

class Explorer : public std::enable_shared_from_this<Explorer> {
 public:
  // Made by Explorers::Add and OpenRequest.
  Explorer(Explorers& owner, std::shared_ptr<MAPIFolder> folder, bool request = false);

  std::shared_ptr<MAPIFolder> CurrentFolder() const { return folder_; }
  // Shows another folder; the selection becomes empty (SelectionChange).
  void SetCurrentFolder(std::shared_ptr<MAPIFolder> folder);
  const host::Selection& Selection() const { return selection_; }
  // Chooses items (SelectionChange).
  void Select(host::Selection selection);
  host::CommandBars& CommandBars() { return commandBars_; }
  std::string Caption() const;
  bool closed() const { return closed_; }
  // Made for one request (OpenRequest), not a window.
  bool IsRequest() const { return request_; }

  // The window comes to the front: it becomes the active explorer (Activate).
  void Activate();
  // The window closes (Close); it leaves the collection afterwards.
  void Close();

  std::uint32_t Advise(std::shared_ptr<ExplorerEvents> sink);
  void Unadvise(std::uint32_t connection);

  // The contents table of the window's last page of a folder's items
  // (window_requests.h), kept until the next page, of this folder or another, so that
  // the store may give the next page what it listed for this one; let go on Close and
  // when the client that asked for the pages leaves (WindowClientGone).
  void KeepLastPage(std::shared_ptr<mapi::Table> table) { lastPage_ = std::move(table); }
  bool KeepsLastPage() const { return lastPage_ != nullptr; }

 private:
  template <typename Call>
  void Fire(Call call);

  Explorers& owner_;
  std::shared_ptr<MAPIFolder> folder_;
  host::Selection selection_;
  host::CommandBars commandBars_;
  std::map<std::uint32_t, std::shared_ptr<ExplorerEvents>> sinks_;
  std::uint32_t nextConnection_ = 1;
  bool closed_ = false;
  const bool request_;
  std::shared_ptr<mapi::Table> lastPage_;
};

class Explorers {
 public:
  int Count() const { return static_cast<int>(explorers_.size()); }
  std::shared_ptr<Explorer> Item(int index) const;  // from 1; null outside
  // Opens a new window on `folder` (NewExplorer). It is not active until Activate.
  std::shared_ptr<Explorer> Add(std::shared_ptr<MAPIFolder> folder);
  // An explorer for one request on `folder` with `selection` (see above); the
  // caller closes it when the request ends.
  std::shared_ptr<Explorer> OpenRequest(std::shared_ptr<MAPIFolder> folder,
                                        host::Selection selection);
  // The window in front, or null when none is open.
  std::shared_ptr<Explorer> ActiveExplorer() const;

  std::uint32_t Advise(std::shared_ptr<ExplorersEvents> sink);
  void Unadvise(std::uint32_t connection);

 private:
  friend class Explorer;
  void Activated(Explorer* explorer);
  void Closed(Explorer* explorer);

  std::vector<std::shared_ptr<Explorer>> explorers_;
  std::weak_ptr<Explorer> active_;
  std::map<std::uint32_t, std::shared_ptr<ExplorersEvents>> sinks_;
  std::uint32_t nextConnection_ = 1;
};

}  // namespace quorvel::host

#endif  // QUORVEL_HOST_EXPLORER_H_
