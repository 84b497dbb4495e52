// quorvel classify [--json] [--exit-code] [--recursive] PATH...
//
// Judges messages (message_inputs.h says what a path may be) with the whole rule
// chain, the user's settings and mail base, without moving or learning anything. One
// line per message: its name (the path, or "FILE:N" for a message of an mbox), a tab,
// "spam" or "good", a tab and the first line of the reason; with --json one object
// per line with "path", "spam", the whole "reason" and, for an mbox message, the
// byte "offset" of its separator line.
//
// In the line output a backslash, tab, line feed or carriage return in a name is
// written as "\\", "\t", "\n" or "\r", any other control character as "\xHH"
// (printable.h), on standard error too; in JSON a path that is not valid UTF-8 comes
// with "path_bytes", its bytes as numbers.
//
// Exit status: 0; with --exit-code, 1 when a judged message is spam; 3 when a path
// or message could not be read or an mbox is damaged (the others are judged all the
// same), or the output could not be written; 4 when the mail base cannot be loaded
// (with --exit-code nothing is judged then); 3 as well when it cannot judge at all
// (an unknown profile, a host that ended under it, cancelled): a delivery filter
// takes 1 for spam, so no failure is ever 1; 2 for usage errors. The profile's store
// is never needed: when no host runs, messages are judged without one.
#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "app/commands.h"
#include "app/message_inputs.h"
#include "app/printable.h"
#include "app/user_environment.h"
#include "core/classifier.h"
#include "platform/code_page.h"
#include "platform/folder_file_system.h"
#include "ui/ui.h"

namespace quorvel::app {
namespace {

struct ClassifyOptions {
  bool json = false;
  bool exitCode = false;
  bool recursive = false;
};

std::string FirstLine(const std::string& text) {
  return text.substr(0, text.find_first_of("\r\n"));
}

bool IsValidUtf8(std::string_view text) {
  try {
    (void)nlohmann::json(std::string(text)).dump();
    return true;
  } catch (const nlohmann::json::type_error&) {
    return false;
  }
}

// One JSON object. A path that is not valid UTF-8 cannot be shown as it is: "path"
// then holds it with U+FFFD in place of the bad bytes and "path_bytes" the exact
// bytes, as numbers, so that the file can still be found.
nlohmann::json JsonLine(const std::string& path, const Verdict& verdict) {
  nlohmann::json line = {
      {"path", path}, {"spam", verdict.spam}, {"reason", platform::AnsiToUtf8(verdict.reason)}};
  if (!IsValidUtf8(path)) {
    nlohmann::json bytes = nlohmann::json::array();
    for (char c : path) bytes.push_back(static_cast<unsigned char>(c));
    line["path_bytes"] = std::move(bytes);
  }
  return line;
}

int RunClassify(const ClassifyOptions& options, const std::vector<std::string>& paths,
                CommandIo& io) {
  UserEnvironment env(io);
  // A mail base that cannot load would judge nearly everything spam by an empty table.
  const JudgingReadiness readiness = env.mailbase().PrepareForJudging();
  if (!readiness.note.empty()) io.err << "quorvel: " << Printable(readiness.note) << "\n";
  if (!readiness.usable && options.exitCode) return kExitNoMailbase;
  const ClassifyContext context{env.settings(), env.mailbase(), env.messageBoxes(), env.clock()};
  const Classifier classifier(context);

  bool anySpam = false;
  int unreadable = 0;
  // Messages are judged as they are read: an mbox or a folder is never held whole.
  // Output that cannot be written (a full disk, a client gone) or a cancel stops the
  // reading too: nothing more is read or judged.
  bool outputFailed = false;
  bool cancelled = false;
  bool stop = false;
  std::uint64_t judged = 0;
  const std::unique_ptr<ui::Progress> progress = env.presenter().BeginProgress("Judging");
  const MessageVisitor judge = [&](MessageInput& input) {
    if (stop) return;
    if (progress->Cancelled()) {
      cancelled = stop = true;
      return;
    }
    progress->Update(judged++, 0, input.name);
    if (!input.boundsNote.empty()) {
      io.err << "quorvel: " << Printable(input.name)
             << ": judged on what was kept: " << input.boundsNote << "\n";
    }
    const Verdict verdict = classifier.Judge(std::move(input.message), kStandardFlags);
    anySpam = anySpam || verdict.spam;
    if (options.json) {
      nlohmann::json line = JsonLine(input.name, verdict);
      if (input.offset) line["offset"] = *input.offset;
      io.out << line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
    } else {
      io.out << EscapedField(input.name) << '\t' << (verdict.spam ? "spam" : "good") << '\t'
             << Printable(platform::AnsiToUtf8(FirstLine(verdict.reason))) << "\n";
    }
    outputFailed = !io.out;
    stop = outputFailed;
  };
  const ProblemSink report = [&io](const std::string& problem) {
    io.err << "quorvel: " << Printable(problem) << "\n";
  };
  const InputOptions inputOptions{options.recursive, io.in, io.inFd, &stop};
  // Inside a host, relative paths are the client's: resolved in its folder, named as
  // it gave them.
  platform::FolderFileSystem files(io.cwd, platform::RealFileSystem());
  for (const std::string& arg : paths) {
    unreadable += ReadMessageInput(arg, inputOptions, judge, report, files);
  }
  io.out.flush();
  if (!io.out) return kExitIoError;
  if (cancelled) {
    io.err << "quorvel: cancelled after " << judged << " messages\n";
    return kExitCannotJudge;
  }
  if (!readiness.usable) return kExitNoMailbase;
  if (unreadable > 0) return kExitUnreadable;
  if (options.exitCode && anySpam) return kExitSpam;
  return kExitOk;
}

void SetupClassify(CLI::App& sub, CommandIo& io) {
  auto options = std::make_shared<ClassifyOptions>();
  sub.add_flag("--json", options->json, "One JSON object per message: path, spam, reason");
  sub.add_flag("--exit-code", options->exitCode,
               "Exit with status 1 when the message is spam (for delivery filters)");
  sub.add_flag("--recursive,-r", options->recursive,
               "Read the sub-folders of plain folders of messages too");
  // The paths are read where the parser keeps them (it outlives the command), so a
  // command line naming thousands of files is held once.
  const CLI::Option* paths = sub.add_option("PATH",
                                            "Message files, mbox files, Maildir folders, folders "
                                            "of message files, or - for standard input")
                                 ->required()
                                 ->expected(CLI::detail::expected_max_vector_size);
  sub.callback([options, paths, &io] { io.status = RunClassify(*options, paths->results(), io); });
}

}  // namespace

Command ClassifyCommand() {
  Command command{"classify",
                  "Judge message files, mbox files, Maildir folders, folders of message files or "
                  "standard input (-) without moving or learning anything",
                  SetupClassify};
  command.failureStatus = kExitCannotJudge;
  return command;
}

}  // namespace quorvel::app
