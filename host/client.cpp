#include "host/client.h"

#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <map>
#include <ostream>
#include <set>

#include "host/frames.h"
#include "platform/printable.h"

namespace quorvel::host {
namespace {

constexpr const char* kRestartAdvice = "restart the host: systemctl --user restart quorvel";
constexpr int kCancelPollMs = 50;  // how often a shown progress is asked whether it was cancelled

std::string OurVersion() {
  return std::to_string(protocol::kMajor) + "." + std::to_string(protocol::kMinor);
}

// A folder only the user may change: owned by the user, written by no one else.
bool PrivateFolder(const std::string& folder) {
  struct stat st {};
  return ::lstat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
         (st.st_mode & 022) == 0;
}

void EscapeControls(std::vector<ui::Control>& controls) {
  for (ui::Control& c : controls) {
    c.label = platform::PrintableBlock(c.label);
    for (auto& o : c.options) o = platform::PrintableBlock(o);
    for (auto& h : c.columns) h = platform::PrintableBlock(h);
    for (auto& row : c.rows) {
      for (auto& cell : row) cell = platform::PrintableBlock(cell);
    }
  }
}

void EscapeButtons(std::vector<ui::Button>& buttons) {
  for (ui::Button& b : buttons) b.text = platform::PrintableBlock(b.text);
}

void EscapeDialog(ui::Dialog& d) {
  d.title = platform::PrintableBlock(d.title);
  d.headline = platform::PrintableBlock(d.headline);
  EscapeControls(d.controls);
  EscapeButtons(d.buttons);
  for (ui::Page& p : d.pages) {
    p.title = platform::PrintableBlock(p.title);
    EscapeControls(p.controls);
    EscapeButtons(p.buttons);
  }
}

}  // namespace

Outcome ChannelPath(const std::string& profile, std::string* path) {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && runtime[0] == '/') {
    if (!PrivateFolder(runtime)) {
      return Outcome::Of(OutcomeCode::kRefused,
                         std::string("XDG_RUNTIME_DIR (") + runtime +
                             ") is not a folder of this user closed to others");
    }
    *path = std::string(runtime) + "/quorvel-" + profile + ".sock";
    return Outcome::Ok();
  }
  const std::string folder = "/tmp/quorvel-" + std::to_string(::getuid());
  ::mkdir(folder.c_str(), 0700);
  struct stat st {};
  if (!PrivateFolder(folder) || ::lstat(folder.c_str(), &st) != 0 || (st.st_mode & 077) != 0) {
    return Outcome::Of(OutcomeCode::kRefused,
                       folder + " is not a private folder of this user; set XDG_RUNTIME_DIR");
  }
  *path = folder + "/" + profile + ".sock";
  return Outcome::Ok();
}

bool IsOpenableUrl(std::string_view url) {
  auto startsWith = [url](std::string_view scheme) {
    if (url.size() < scheme.size()) return false;
    for (std::size_t i = 0; i < scheme.size(); ++i) {
      if (std::tolower(static_cast<unsigned char>(url[i])) != scheme[i]) return false;
    }
    return true;
  };
  if (platform::Printable(url) != url) return false;
  // A local page (the user's manual, which Help opens) may be opened too; no other
  // local file, which the desktop's handler might run.
  const bool localPage = startsWith("file:///") && url.size() > 5 &&
                         url.substr(url.size() - 5) == ".html" &&
                         url.find_first_of("?#") == std::string_view::npos;
  return startsWith("http://") || startsWith("https://") || startsWith("mailto:") || localPage;
}

std::unique_ptr<HostClient> HostClient::Connect(const std::string& path,
                                                const ClientOptions& options, Outcome* outcome) {
  std::string error;
  platform::Socket socket = platform::ConnectUnix(path, &error);
  if (!socket.valid()) {
    *outcome = Outcome::Of(OutcomeCode::kUnreachable, error);
    return nullptr;
  }
  if (platform::PeerUid(socket) != static_cast<long>(::getuid())) {
    *outcome =
        Outcome::Of(OutcomeCode::kRefused, "the process listening on " + path +
                                               " is not this user's; nothing was sent to it");
    return nullptr;
  }
  std::unique_ptr<HostClient> client(new HostClient(std::move(socket)));
  client->deadlineMs_ = options.deadlineMs;
  SetReceiveTimeout(client->socket_, options.deadlineMs);
  protocol::Hello hello;
  hello.software = options.software;
  hello.capabilities = options.capabilities;
  // A host that refuses (busy) may have written its refusal and closed before the
  // hello went: what it wrote is read all the same.
  const bool sent = SendMessage(client->socket_, hello);
  std::string body;
  if (ReadFrame(client->socket_, &body) != FrameRead::kOk) {
    *outcome = client->Lost(sent ? "the host's hello" : "sending our hello");
    return nullptr;
  }
  if (protocol::IsFirstProtocolBody(body)) {
    *outcome = Outcome::Of(OutcomeCode::kVersionMismatch,
                           "the host speaks an older protocol than this quorvel (" + OurVersion() +
                               "); " + kRestartAdvice);
    return nullptr;
  }
  protocol::Decoded d = protocol::Decode(body);
  if (auto* e = std::get_if<protocol::Error>(&d.message);
      e && d.kind == protocol::Decoded::kMessage) {
    *outcome = e->outcome;
    return nullptr;
  }
  auto* theirs = std::get_if<protocol::Hello>(&d.message);
  if (d.kind != protocol::Decoded::kMessage || theirs == nullptr) {
    *outcome = Outcome::Of(OutcomeCode::kFailed, "the host answered the hello with no hello");
    return nullptr;
  }
  if (theirs->major != protocol::kMajor) {
    *outcome = Outcome::Of(OutcomeCode::kVersionMismatch,
                           "this quorvel speaks protocol " + OurVersion() + " and the host " +
                               std::to_string(theirs->major) + "." + std::to_string(theirs->minor) +
                               "; " + kRestartAdvice);
    return nullptr;
  }
  client->hello_ = *theirs;
  *outcome = Outcome::Ok();
  return client;
}

Outcome HostClient::Lost(const std::string& waitingFor) {
  const bool timedOut = errno == EAGAIN || errno == EWOULDBLOCK;
  for (const auto& e : events_) {
    if (e.event == "stopping") {
      return Outcome::Of(OutcomeCode::kCancelled,
                         "the host stopped while we waited for " + waitingFor);
    }
  }
  if (timedOut) {
    return Outcome::Of(OutcomeCode::kUnreachable,
                       "the host did not answer within " +
                           std::to_string(deadlineMs_ / 1000.0).substr(0, 3) +
                           " s while we waited for " + waitingFor);
  }
  return Outcome::Of(OutcomeCode::kUnreachable,
                     "the host closed the connection while we waited for " + waitingFor);
}

std::optional<protocol::Message> HostClient::Receive(Outcome* outcome, bool eventEnds) {
  for (;;) {
    std::string body;
    errno = 0;
    const FrameRead read = ReadFrame(socket_, &body);
    if (read != FrameRead::kOk) {
      *outcome = read == FrameRead::kOversized
                     ? Outcome::Of(OutcomeCode::kFailed, "the host sent an oversized frame")
                     : Outcome::Of(OutcomeCode::kUnreachable, "");
      return std::nullopt;
    }
    protocol::Decoded d = protocol::Decode(body);
    if (d.kind == protocol::Decoded::kUnknown) continue;  // a newer host's message
    if (d.kind == protocol::Decoded::kMalformed) {
      *outcome = Outcome::Of(OutcomeCode::kFailed, "the host sent a malformed message: " + d.error);
      return std::nullopt;
    }
    if (auto* e = std::get_if<protocol::Event>(&d.message)) {
      if (events_.size() < 1024) events_.push_back(std::move(*e));
      if (eventEnds) {
        *outcome = Outcome::Ok();
        return std::nullopt;
      }
      continue;
    }
    return std::move(d.message);
  }
}

HostClient::RunResult HostClient::Run(const protocol::RunRequest& request, int standardInput,
                                      ui::Ui& presenter, std::ostream& out, std::ostream& err) {
  protocol::RunRequest run = request;
  run.id = nextId_++;
  run.standardInput = standardInput >= 0;
  if (!SendMessage(socket_, run) || (run.standardInput && !socket_.SendDescriptor(standardInput))) {
    return {Lost("the command to be taken"), 1};
  }
  return FollowJob(run.id, presenter, out, err);
}

HostClient::RunResult HostClient::Click(const protocol::ClickRequest& click, ui::Ui& presenter,
                                        std::ostream& out, std::ostream& err) {
  if (Outcome offered = Offers("click", "clicks of commands"); !offered.ok()) return {offered, 1};
  protocol::ClickRequest request = click;
  request.id = nextId_++;
  if (!SendMessage(socket_, request)) return {Lost("the click to be taken"), 1};
  return FollowJob(request.id, presenter, out, err);
}

namespace {

// A dialog the host keeps open at this client.
struct OpenDialog {
  std::unique_ptr<ui::Dialog> dialog;
  std::unique_ptr<ui::DialogSession> session;
};

void EscapeChange(ui::DialogChange& c) {
  for (auto& row : c.rows) {
    for (auto& cell : row) cell = platform::PrintableBlock(cell);
  }
  std::vector<ui::Control> value{std::move(c.value)};
  EscapeControls(value);
  c.value = std::move(value.front());
}

}  // namespace

HostClient::RunResult HostClient::FollowJob(std::uint64_t id, ui::Ui& presenter, std::ostream& out,
                                            std::ostream& err) {
  RunResult result;
  SetReceiveTimeout(socket_, 0);  // the command takes as long as it takes
  std::map<std::uint64_t, std::unique_ptr<ui::Progress>> progress;
  std::map<std::uint64_t, OpenDialog> dialogs;
  std::set<std::uint64_t> cancelled;  // progress whose cancel has gone to the host
  auto sendCancels = [&] {
    for (const auto& [number, shown] : progress) {
      if (shown && shown->Cancelled() && cancelled.insert(number).second) {
        SendMessage(socket_, protocol::CancelProgress{id, number});
      }
    }
  };
  for (;;) {
    // While progress shows, a Cancel the user gives (Ctrl-C) goes to the host at once,
    // not with the host's next update, which may be long in coming.
    while (!progress.empty()) {
      pollfd readable{socket_.fd(), POLLIN, 0};
      if (::poll(&readable, 1, kCancelPollMs) != 0) break;
      sendCancels();
    }
    Outcome received;
    auto message = Receive(&received);
    if (!message) {
      result.outcome = received.message.empty() ? Lost("the command to finish") : received;
      return result;
    }
    if (auto* o = std::get_if<protocol::Output>(&*message); o && o->id == id) {
      (o->stream == 2 ? err : out) << o->text << std::flush;
    } else if (auto* box = std::get_if<protocol::MessageBox>(&*message); box && box->id == id) {
      const int button = presenter.Show(platform::PrintableBlock(box->text),
                                        platform::PrintableBlock(box->caption), box->style);
      SendMessage(socket_, protocol::Answer{id, box->question, button, {}});
    } else if (auto* dialog = std::get_if<protocol::DialogRequest>(&*message);
               dialog && dialog->id == id) {
      EscapeDialog(dialog->dialog);
      const std::int32_t button = presenter.Present(dialog->dialog);
      SendMessage(socket_, protocol::Answer{id, dialog->question, button, dialog->dialog.controls});
    } else if (auto* open = std::get_if<protocol::DialogOpen>(&*message); open && open->id == id) {
      EscapeDialog(open->dialog);
      OpenDialog& shown = dialogs[open->question];
      shown.session.reset();
      shown.dialog = std::make_unique<ui::Dialog>(std::move(open->dialog));
      shown.session = presenter.Open(*shown.dialog);
    } else if (auto* change = std::get_if<protocol::DialogChangeMessage>(&*message);
               change && change->id == id) {
      // A change that does not fit the dialog shown here is left out; the next press
      // still answers with what the user sees.
      if (auto it = dialogs.find(change->question); it != dialogs.end()) {
        EscapeChange(change->change);
        it->second.session->Update(change->change);
      }
    } else if (auto* next = std::get_if<protocol::DialogNext>(&*message); next && next->id == id) {
      protocol::Answer answer{id, next->question, 0, {}};
      if (auto it = dialogs.find(next->question); it != dialogs.end()) {
        ui::Dialog& d = *it->second.dialog;
        answer.button = it->second.session->Next();
        answer.controls = d.ShownControls();
        if (const ui::Page* page = d.Current()) answer.page = page->id;
        if (d.style == ui::DialogStyle::kSheet) {
          for (const ui::Page& page : d.pages) {
            if (page.id != answer.page) answer.otherPages.emplace_back(page.id, page.controls);
          }
        }
      } else {
        answer.button = 2;  // no such dialog here: closed
      }
      SendMessage(socket_, answer);
    } else if (auto* close = std::get_if<protocol::DialogClose>(&*message);
               close && close->id == id) {
      dialogs.erase(close->question);
    } else if (auto* p = std::get_if<protocol::ProgressUpdate>(&*message); p && p->id == id) {
      auto it = progress.find(p->progress);
      if (p->ended) {
        if (it != progress.end()) progress.erase(it);
      } else if (it == progress.end()) {
        progress[p->progress] = presenter.BeginProgress(platform::PrintableBlock(p->text));
      } else if (it->second) {
        it->second->Update(p->done, p->total, platform::PrintableBlock(p->text));
        sendCancels();
      }
    } else if (auto* notice = std::get_if<protocol::Notice>(&*message)) {
      presenter.Notify(platform::PrintableBlock(notice->title),
                       platform::PrintableBlock(notice->text));
    } else if (auto* url = std::get_if<protocol::OpenUrl>(&*message); url && url->id == id) {
      bool opened = false;
      const std::string shown = platform::PrintableBlock(url->url);
      if (!IsOpenableUrl(url->url)) {
        err << "quorvel: the host asked to open a link that is not http, https or mailto: " << shown
            << "\n";
      } else if (!presenter.Interactive()) {
        err << "quorvel: the host offers the link " << shown << "\n";
      } else if (presenter.Show("Open " + shown + "?", "Quorvel", platform::MB_YESNO) ==
                 platform::IDYES) {
        opened = presenter.OpenUrl(url->url);
      }
      SendMessage(socket_, protocol::Answer{id, url->question, opened ? 1 : 0, {}});
    } else if (auto* done = std::get_if<protocol::Done>(&*message); done && done->id == id) {
      result.status = done->status;
      result.outcome = Outcome::Ok();
      if (done->outcome.code == OutcomeCode::kFailed) result.outcome = done->outcome;
      return result;
    } else if (auto* e = std::get_if<protocol::Error>(&*message);
               e && (e->id == id || e->id == 0)) {
      result.outcome = e->outcome;
      return result;
    }
  }
}

Outcome HostClient::Offers(const std::string& capability, const std::string& what) const {
  const auto& caps = hello_.capabilities;
  if (std::find(caps.begin(), caps.end(), capability) != caps.end()) return Outcome::Ok();
  return Outcome::Of(OutcomeCode::kRefused,
                     "the host speaks protocol " + std::to_string(hello_.major) + "." +
                         std::to_string(hello_.minor) + " and serves no " + what +
                         " (this quorvel speaks " + OurVersion() + "); " + kRestartAdvice);
}

Outcome HostClient::ListItems(const protocol::ListItemsRequest& request,
                              protocol::ItemList* items) {
  if (Outcome offered = Offers("list-items", "lists of a folder's items"); !offered.ok()) {
    return offered;
  }
  protocol::ListItemsRequest asked = request;
  asked.id = nextId_++;
  return Ask(asked, asked.id, "the folder's items", items);
}

Outcome HostClient::Select(const std::string& folder, const std::vector<std::string>& items,
                           protocol::Selected* selected) {
  if (Outcome offered = Offers("select", "selections"); !offered.ok()) return offered;
  const std::uint64_t id = nextId_++;
  return Ask(protocol::SelectRequest{id, folder, items}, id, "the selection", selected);
}

Outcome HostClient::GetCommandBars(protocol::CommandBarList* bars) {
  if (Outcome offered = Offers("command-bars", "command bars"); !offered.ok()) return offered;
  const std::uint64_t id = nextId_++;
  return Ask(protocol::CommandBarsRequest{id}, id, "the command bars", bars);
}

template <typename Reply>
Outcome HostClient::Ask(const protocol::Message& request, std::uint64_t id,
                        const std::string& waitingFor, Reply* reply) {
  SetReceiveTimeout(socket_, deadlineMs_);
  if (!SendMessage(socket_, request)) return Lost("sending the request for " + waitingFor);
  for (;;) {
    Outcome received;
    auto message = Receive(&received);
    if (!message) return received.message.empty() ? Lost(waitingFor) : received;
    if (auto* r = std::get_if<Reply>(&*message); r && r->id == id) {
      *reply = std::move(*r);
      return Outcome::Ok();
    }
    if (auto* e = std::get_if<protocol::Error>(&*message); e && (e->id == id || e->id == 0)) {
      return e->outcome;
    }
  }
}

Outcome HostClient::QueryStatus(protocol::Status* status) {
  const std::uint64_t id = nextId_++;
  return Ask(protocol::StatusRequest{id}, id, "the host's status", status);
}

Outcome HostClient::ListFolders(std::vector<protocol::FolderEntry>* folders) {
  const std::uint64_t id = nextId_++;
  protocol::FolderList list;
  Outcome outcome = Ask(protocol::ListFoldersRequest{id}, id, "the list of folders", &list);
  *folders = std::move(list.folders);
  return outcome;
}

Outcome HostClient::Subscribe(const std::vector<std::string>& events) {
  const std::uint64_t id = nextId_++;
  protocol::Subscribed subscribed;
  return Ask(protocol::Subscribe{id, events}, id, "the subscription's answer", &subscribed);
}

Outcome HostClient::ListPending(std::vector<protocol::PendingEntry>* pending) {
  pending->clear();
  const auto& caps = hello_.capabilities;
  if (std::find(caps.begin(), caps.end(), "pending") == caps.end()) return Outcome::Ok();
  const std::uint64_t id = nextId_++;
  protocol::PendingList list;
  Outcome outcome = Ask(protocol::ListPendingRequest{id}, id, "the pending questions", &list);
  *pending = std::move(list.pending);
  return outcome;
}

Outcome HostClient::OfferPending(ui::Ui& presenter, int* answered) {
  *answered = 0;
  if (!presenter.Interactive()) return Outcome::Ok();
  std::vector<protocol::PendingEntry> pending;
  if (Outcome listed = ListPending(&pending); !listed.ok()) return listed;
  for (const protocol::PendingEntry& entry : pending) {
    if (entry.taken) continue;
    Outcome outcome = AnswerPending(entry.pending, presenter);
    // Another client took it, or it expired, meanwhile: the next one is offered.
    if (outcome.code == OutcomeCode::kBusy || outcome.code == OutcomeCode::kNotFound) continue;
    if (!outcome.ok()) return outcome;
    ++*answered;
  }
  return Outcome::Ok();
}

Outcome HostClient::AnswerPending(std::uint64_t pending, ui::Ui& presenter) {
  const std::uint64_t id = nextId_++;
  SetReceiveTimeout(socket_, deadlineMs_);
  if (!SendMessage(socket_, protocol::TakePending{id, pending})) {
    return Lost("sending the request for a pending question");
  }
  bool asked = false;
  for (;;) {
    Outcome received;
    auto message = Receive(&received);
    if (!message) return received.message.empty() ? Lost("a pending question") : received;
    protocol::Answer answer{id, pending, 0, {}};
    if (auto* box = std::get_if<protocol::MessageBox>(&*message); box && box->id == id && !asked) {
      answer.button = presenter.Show(platform::PrintableBlock(box->text),
                                     platform::PrintableBlock(box->caption), box->style);
    } else if (auto* dialog = std::get_if<protocol::DialogRequest>(&*message);
               dialog && dialog->id == id && !asked) {
      EscapeDialog(dialog->dialog);
      answer.button = ui::RunDialog(presenter, dialog->dialog);
      answer.controls = std::move(dialog->dialog.controls);
    } else if (auto* done = std::get_if<protocol::Done>(&*message); done && done->id == id) {
      return done->outcome;
    } else if (auto* e = std::get_if<protocol::Error>(&*message);
               e && (e->id == id || e->id == 0)) {
      return e->outcome;
    } else {
      continue;
    }
    asked = true;
    SetReceiveTimeout(socket_, deadlineMs_);  // the person took their time; the host does not
    if (!SendMessage(socket_, answer)) return Lost("sending the answer");
  }
}

std::optional<protocol::Event> HostClient::NextEvent(int milliseconds, Outcome* outcome) {
  if (events_.empty()) {
    SetReceiveTimeout(socket_, milliseconds);
    Outcome received;
    auto message = Receive(&received, /*eventEnds=*/true);  // keeps events; drops the rest
    if (events_.empty()) {
      *outcome = message || received.ok()
                     ? Outcome::Of(OutcomeCode::kFailed, "no event came")
                     : (received.message.empty() ? Lost("an event") : received);
      return std::nullopt;
    }
  }
  protocol::Event e = std::move(events_.front());
  events_.pop_front();
  *outcome = Outcome::Ok();
  return e;
}

}  // namespace quorvel::host
