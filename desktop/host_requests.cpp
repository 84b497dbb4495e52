#include "desktop/host_requests.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <algorithm>
#include <sstream>
#include <utility>

namespace quorvel::desktop {
namespace {

// Questions that a listing might raise are nobody's to answer here: each takes its
// default, as for a command line without a terminal.
class QuietUi final : public ui::Ui {
 public:
  int Show(const std::string&, const std::string&, std::uint32_t style) override {
    return ui::DefaultButton(style);
  }
  std::int32_t Present(ui::Dialog& dialog) override { return dialog.defaultButton; }
  std::unique_ptr<ui::Progress> BeginProgress(const std::string&) override { return nullptr; }
  void Notify(const std::string&, const std::string&) override {}
  bool OpenUrl(const std::string&) override { return false; }
  bool Interactive() const override { return false; }
};

std::string Text(const QJsonObject& o, const char* key) {
  return o.value(QLatin1String(key)).toString().toStdString();
}

bool Offers(const host::HostClient& client, const std::string& capability) {
  const auto& caps = client.hostHello().capabilities;
  return std::find(caps.begin(), caps.end(), capability) != caps.end();
}

std::string Trimmed(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

}  // namespace

std::vector<MessageRow> ParseMessageLines(const std::string& text) {
  std::vector<MessageRow> rows;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(line));
    if (!doc.isObject()) continue;
    const QJsonObject o = doc.object();
    if (!o.contains("name")) continue;
    MessageRow row;
    row.name = Text(o, "name");
    row.entryId = Text(o, "entryId");
    const QJsonObject sender = o.value("sender").toObject();
    row.senderName = Text(sender, "name");
    row.senderAddress = Text(sender, "address");
    row.subject = Text(o, "subject");
    row.date = Text(o, "date");
    row.read = o.value("read").toBool();
    row.size = static_cast<long long>(o.value("size").toDouble(-1));
    rows.push_back(std::move(row));
  }
  return rows;
}

bool ParseVerdict(const std::string& text, VerdictText* verdict) {
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(line));
    if (!doc.isObject() || !doc.object().contains("spam")) continue;
    verdict->spam = doc.object().value("spam").toBool();
    verdict->reason = Text(doc.object(), "reason");
    return true;
  }
  return false;
}

MessageRow RowOf(const host::protocol::ItemEntry& item) {
  MessageRow row;
  row.name = item.name;
  row.entryId = item.id;
  row.senderName = item.senderName;
  row.senderAddress = item.senderAddress;
  row.subject = item.subject;
  if (item.received > 0) {
    row.date =
        QDateTime::fromSecsSinceEpoch(item.received, Qt::UTC).toString(Qt::ISODate).toStdString();
  }
  row.read = item.read;
  row.size = item.size;
  return row;
}

std::vector<std::string> MessagesCommand(const std::string& folderPath, int first, int count) {
  return {"quorvel",
          "messages",
          "--json",
          "--skip",
          std::to_string(first),
          "--limit",
          std::to_string(count),
          "--",
          folderPath};
}

HostRequests::HostRequests(const HostLink& link, QObject* parent)
    : QObject(parent), link_(link), thread_([this] { Loop(); }) {}

HostRequests::~HostRequests() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

void HostRequests::Post(Job job) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    jobs_.push_back(std::move(job));
  }
  wake_.notify_one();
}

void HostRequests::Loop() {
  for (;;) {
    Job job;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
      if (stopping_) return;
      job = std::move(jobs_.front());
      jobs_.pop_front();
    }
    host::Outcome connected;
    if (!client_) client_ = link_.Connect(&connected);
    job(client_.get(), connected);
  }
}

host::Outcome HostRequests::RunCaptured(host::HostClient& client,
                                        const std::vector<std::string>& argv, std::string* out) {
  host::protocol::RunRequest request;
  request.argv = argv;
  request.cwd = "/";
  QuietUi quiet;
  std::ostringstream output, errors;
  host::HostClient::RunResult result = client.Run(request, -1, quiet, output, errors);
  if (!result.outcome.ok()) return result.outcome;
  if (result.status != 0) {
    std::string message = Trimmed(errors.str());
    if (message.rfind("quorvel: ", 0) == 0) message.erase(0, 9);
    return host::Outcome::Of(host::OutcomeCode::kFailed, message);
  }
  *out = output.str();
  return host::Outcome::Ok();
}

void HostRequests::Folders(FoldersDone done) {
  Post([this, done = std::move(done)](host::HostClient* client, const host::Outcome& connected) {
    std::vector<host::protocol::FolderEntry> folders;
    host::Outcome outcome = client ? client->ListFolders(&folders) : connected;
    if (client && outcome.code == host::OutcomeCode::kUnreachable) client_.reset();
    QMetaObject::invokeMethod(
        this, [done, outcome, folders = std::move(folders)] { done(outcome, folders); },
        Qt::QueuedConnection);
  });
}

void HostRequests::Messages(const std::string& folderPath, int first, int count,
                            MessagesDone done) {
  Post([this, folderPath, first, count, done = std::move(done)](host::HostClient* client,
                                                                const host::Outcome& connected) {
    std::vector<MessageRow> rows;
    host::Outcome outcome = connected;
    if (client && Offers(*client, "list-items")) {
      host::protocol::ItemList items;
      outcome = client->ListItems(
          {0, folderPath, static_cast<std::uint32_t>(first), static_cast<std::uint32_t>(count)},
          &items);
      for (const host::protocol::ItemEntry& item : items.items) rows.push_back(RowOf(item));
    } else if (client) {
      std::string text;
      outcome = RunCaptured(*client, MessagesCommand(folderPath, first, count), &text);
      rows = ParseMessageLines(text);
    }
    if (client && outcome.code == host::OutcomeCode::kUnreachable) client_.reset();
    QMetaObject::invokeMethod(
        this, [done, outcome, rows = std::move(rows)] { done(outcome, rows); },
        Qt::QueuedConnection);
  });
}

void HostRequests::Verdict(const std::string& messageName, VerdictDone done) {
  Post([this, name = messageName, done = std::move(done)](host::HostClient* client,
                                                          const host::Outcome& connected) {
    std::string text;
    host::Outcome outcome =
        client ? RunCaptured(*client, {"quorvel", "classify", "--json", "--", name}, &text)
               : connected;
    if (client && outcome.code == host::OutcomeCode::kUnreachable) client_.reset();
    VerdictText verdict;
    if (outcome.ok() && !ParseVerdict(text, &verdict)) {
      outcome = host::Outcome::Of(host::OutcomeCode::kFailed,
                                  "the host did not judge the message " + name);
    }
    QMetaObject::invokeMethod(
        this, [done, outcome, verdict] { done(outcome, verdict); }, Qt::QueuedConnection);
  });
}

void HostRequests::Select(const std::string& folderId, const std::vector<std::string>& itemIds) {
  Post([this, folderId, itemIds](host::HostClient* client, const host::Outcome&) {
    if (client == nullptr || !Offers(*client, "select")) return;
    host::protocol::Selected selected;
    if (client->Select(folderId, itemIds, &selected).code == host::OutcomeCode::kUnreachable) {
      client_.reset();
    }
  });
}

void HostRequests::CommandBars(BarsDone done) {
  Post([this, done = std::move(done)](host::HostClient* client, const host::Outcome& connected) {
    host::protocol::CommandBarList bars;
    host::Outcome outcome = client ? client->GetCommandBars(&bars) : connected;
    if (client && outcome.code == host::OutcomeCode::kUnreachable) client_.reset();
    QMetaObject::invokeMethod(
        this, [done, outcome, bars = std::move(bars)] { done(outcome, bars); },
        Qt::QueuedConnection);
  });
}

}  // namespace quorvel::desktop
