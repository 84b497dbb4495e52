// quorvel classify [--json] [--exit-code] [--recursive] PATH...
//
// Judges messages (message_inputs.h says what a path may be) with the whole rule
// chain, the user's settings and mail base, without moving or learning anything. One
// line per message: its name (the path, or "FILE:N" for a message of an mbox), a tab,
// "spam" or "good", a tab and the first line of the reason; with --json one object
// per line with "path", "spam", the whole "reason" and, for an mbox message, the
// byte "offset" of its separator line.
//
// Exit status: 0; with --exit-code, 1 when a judged message is spam; 3 when a path
// or message could not be read or an mbox is damaged (the others are judged all the
// same); 2 for usage errors.
#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <vector>

#include "app/commands.h"
#include "app/message_inputs.h"
#include "app/user_environment.h"
#include "core/classifier.h"
#include "platform/code_page.h"

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

int RunClassify(const ClassifyOptions& options, const std::vector<std::string>& paths,
                CommandIo& io) {
  UserEnvironment env(io.err);
  const ClassifyContext context{env.settings(), env.mailbase(), env.messageBoxes(), env.clock()};
  const Classifier classifier(context);

  bool anySpam = false;
  int unreadable = 0;
  // Messages are judged as they are read: an mbox or a folder is never held whole.
  const MessageVisitor judge = [&](MessageInput& input) {
    const Verdict verdict = classifier.Judge(std::move(input.message), kStandardFlags);
    anySpam = anySpam || verdict.spam;
    if (options.json) {
      nlohmann::json line = {{"path", input.name},
                             {"spam", verdict.spam},
                             {"reason", platform::AnsiToUtf8(verdict.reason)}};
      if (input.offset) line["offset"] = *input.offset;
      io.out << line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
    } else {
      io.out << input.name << '\t' << (verdict.spam ? "spam" : "good") << '\t'
             << platform::AnsiToUtf8(FirstLine(verdict.reason)) << "\n";
    }
  };
  const ProblemSink report = [&io](const std::string& problem) {
    io.err << "quorvel: " << problem << "\n";
  };
  const InputOptions inputOptions{options.recursive};
  for (const std::string& arg : paths) {
    unreadable += ReadMessageInput(arg, inputOptions, judge, report);
  }
  io.out.flush();
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
  return {"classify",
          "Judge message files, mbox files, Maildir folders, folders of message files or "
          "standard input (-) without moving or learning anything",
          SetupClassify};
}

}  // namespace quorvel::app
