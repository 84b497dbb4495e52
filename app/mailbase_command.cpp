// quorvel mailbase build [--recursive] --good PATH... --junk PATH... --out DIR
// quorvel mailbase stats [--json]
//
// build learns every message (subject and body text, weight 1, as marking would
// without the lists) into a fresh mail base and writes "Bayes.raw" and "Bayes.db"
// into DIR; a PATH is read as classify reads it (message_inputs.h). stats shows what
// the user's mail base has learned.
#include <CLI/CLI.hpp>
#include <cerrno>
#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <ostream>
#include <unordered_set>

#include "app/commands.h"
#include "app/message_inputs.h"
#include "app/terminal_message_boxes.h"
#include "app/user_environment.h"
#include "bayes/mailbase.h"
#include "core/message_record.h"
#include "mapi/tags.h"
#include "platform/code_page.h"
#include "platform/file_system.h"
#include "platform/printable.h"

namespace quorvel::app {
namespace {

struct BuildOptions {
  // The paths are read where the parser keeps them (it outlives the command), so a
  // command line naming thousands of files is held once.
  const CLI::Option* good = nullptr;
  const CLI::Option* junk = nullptr;
  std::string out;
  bool recursive = false;
};

// Learns every message of `paths` (message_inputs.h), each as it is read, counting
// them in *learned; returns how many problems there were.
int LearnAll(MailbaseStore& store, const std::vector<std::string>& paths, bool junk, bool recursive,
             CommandIo& io, long* learned) {
  const MessageVisitor learn = [&store, junk, &io, learned](MessageInput& input) {
    ++*learned;
    if (!input.boundsNote.empty()) {
      io.err << "quorvel: " << platform::Printable(input.name)
             << ": learned on what was kept: " << input.boundsNote << "\n";
    }
    MessageRecord record(std::move(input.message));
    const std::u16string subject = platform::AnsiToWide(record.GetString(mapi::PR_SUBJECT));
    const std::u16string body = platform::AnsiToWide(record.GetString(mapi::PR_BODY));
    store.Learn(body, subject, junk, kAutomaticWeight, /*force=*/true);
  };
  const ProblemSink report = [&io](const std::string& problem) {
    io.err << "quorvel: " << platform::Printable(problem) << "\n";
  };
  int failures = 0;
  for (const std::string& arg : paths) {
    failures += ReadMessageInput(arg, InputOptions{recursive}, learn, report);
  }
  return failures;
}

int RunBuild(const BuildOptions& options, CommandIo& io) {
  TerminalMessageBoxes boxes(io.err);
  Mailbase mailbase(boxes);
  mailbase.SetPaths(options.out, options.out);
  MailbaseStore& store = mailbase.store();
  // One writer per folder, for the whole build: a second build (or a host saving into
  // the same folder) is refused rather than mixing its files with ours.
  std::unique_ptr<MailbaseFolderLock::Hold> hold;
  if (const platform::FileStatus status = store.HoldFolder(/*wait=*/false, &hold); !status.ok()) {
    if (status.code() == EWOULDBLOCK) {
      io.err << "quorvel: another quorvel is writing the mail base in \""
             << platform::Printable(options.out) << "\" (it holds " << store.FolderLockPath()
             << "): nothing was written\n";
    } else {
      io.err << "quorvel: " << platform::Printable(status.message()) << "\n";
    }
    return kExitFailure;
  }
  // Built in memory and written once at the end, as a pair: until then the folder
  // keeps what it had.
  store.StartFresh();
  long learned = 0;
  int failures =
      LearnAll(store, options.good->results(), /*junk=*/false, options.recursive, io, &learned);
  failures +=
      LearnAll(store, options.junk->results(), /*junk=*/true, options.recursive, io, &learned);
  if (learned == 0) {
    io.err << "quorvel: no message could be learned: nothing was written into \""
           << platform::Printable(options.out) << "\"\n";
    store.Reset();  // nothing to save when the mail base goes
    return kExitFailure;
  }
  store.Rebuild();
  if (store.dirty()) {
    io.err << "quorvel: cannot write the mail base into \"" << platform::Printable(options.out)
           << "\": " << store.lastSaveError() << "; the files there are as they were\n";
    store.Reset();
    return kExitFailure;
  }
  const CorpusPair pair = store.MainPair();
  io.out << "Learned junk messages: " << pair.junk().messageCount() << "\n"
         << "Learned good messages: " << pair.good().messageCount() << "\n";
  return failures > 0 ? kExitUnreadable : kExitOk;
}

int RunStats(bool json, CommandIo& io) {
  UserEnvironment env(io);
  MailbaseStore& store = env.mailbase().store();
  if (!store.EnsureLoaded()) {
    std::error_code ignored;
    const bool damaged = std::filesystem::exists(env.dataFolder() + "Bayes.raw", ignored) ||
                         std::filesystem::exists(env.dataFolder() + "Bayes.raw.bak", ignored);
    io.err << "quorvel: no mail base could be loaded from \""
           << platform::Printable(env.dataFolder()) << "\""
           << (damaged ? " (a damaged Bayes.raw and its backup are not replaced by the shipped "
                         "counts: repair or remove them, or run \"quorvel mailbase build\")"
                       : " (the shipped mail base is missing too)")
           << "\n";
    return kExitFailure;
  }
  CorpusPair learned = store.MainPair();
  learned.Merge(store.PendingPair());
  if (store.loadedFrom() == LoadSource::kSeed) {
    io.err << "quorvel: \"" << platform::Printable(JoinPath(env.dataFolder(), kRawFileName))
           << "\" and its .bak could not be loaded: the learned counts shown are those of "
              "the shipped mail base\n";
    // Shown, not saved over the user's damaged files.
    store.Reset();
  }
  std::unordered_set<std::u16string_view> tokens;
  for (const auto& [token, count] : learned.good().counts()) tokens.insert(token);
  for (const auto& [token, count] : learned.junk().counts()) tokens.insert(token);
  ProbabilityTable& table = env.mailbase().table();
  table.EnsureLoaded();
  if (!table.loaded()) {
    io.err << "quorvel: \"" << platform::Printable(JoinPath(env.dataFolder(), kTableFileName))
           << "\" and its .bak could not be loaded: the probability table is empty\n";
  }
  const TableStatistics stats = table.Statistics();
  if (json) {
    nlohmann::json out = {{"junk_messages", learned.junk().messageCount()},
                          {"good_messages", learned.good().messageCount()},
                          {"learned_tokens", tokens.size()},
                          {"table_tokens", stats.entries},
                          {"table_junk_messages", stats.junkMessages},
                          {"table_good_messages", stats.goodMessages},
                          {"folder", env.dataFolder()}};
    io.out << out.dump() << "\n";
  } else {
    io.out << "Learned junk messages: " << learned.junk().messageCount() << "\n"
           << "Learned good messages: " << learned.good().messageCount() << "\n"
           << "Learned tokens: " << tokens.size() << "\n"
           << "Tokens in the probability table: " << stats.entries << "\n"
           << "Mail base folder: " << platform::Printable(env.dataFolder()) << "\n";
  }
  return kExitOk;
}

void SetupMailbase(CLI::App& sub, CommandIo& io) {
  sub.require_subcommand(1);

  CLI::App* build = sub.add_subcommand("build", "Learn good and junk mail into a fresh mail base");
  auto options = std::make_shared<BuildOptions>();
  options->good =
      build
          ->add_option(
              "--good",
              "Good mail: message files, mbox files, Maildir folders, folders of message files")
          ->expected(CLI::detail::expected_max_vector_size);
  options->junk =
      build
          ->add_option(
              "--junk",
              "Junk mail: message files, mbox files, Maildir folders, folders of message files")
          ->expected(CLI::detail::expected_max_vector_size);
  build->add_option("--out", options->out, "Folder to write Bayes.raw and Bayes.db into")
      ->required();
  build->add_flag("--recursive,-r", options->recursive,
                  "Read the sub-folders of plain folders of messages too");
  build->callback([options, &io] { io.status = RunBuild(*options, io); });

  CLI::App* stats = sub.add_subcommand("stats", "Show what your mail base has learned");
  auto json = std::make_shared<bool>(false);
  stats->add_flag("--json", *json, "Machine-readable output");
  stats->callback([json, &io] { io.status = RunStats(*json, io); });
}

}  // namespace

Command MailbaseCommand() {
  return {"mailbase", "Build a mail base from folders of good and junk mail, or show its counts",
          SetupMailbase};
}

}  // namespace quorvel::app
