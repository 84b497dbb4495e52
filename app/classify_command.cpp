// quorvel classify [--json] [--exit-code] PATH...
//
// Judges messages with the whole rule chain, the user's settings and mail base,
// without moving or learning anything. One line per message: the path, a tab,
// "spam" or "good", a tab and the first line of the reason; with --json one object
// per line with "path", "spam" and the whole "reason".
//
// Exit status: 0; with --exit-code, 1 when a judged message is spam; 3 when a path
// could not be read (the others are judged all the same); 2 for usage errors.
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
  // Each argument is expanded only when it is reached: a run over thousands of files
  // or a large folder holds the messages of one argument at a time.
  std::vector<MessageInput> inputs;
  for (const std::string& arg : paths) {
    std::string error;
    inputs.clear();
    if (!ExpandMessageInput(arg, &inputs, &error)) {
      io.err << "quorvel: " << error << "\n";
      ++unreadable;
      continue;
    }
    for (const MessageInput& input : inputs) {
      auto message = OpenMessageInput(input, &error);
      if (!message) {
        io.err << "quorvel: " << error << "\n";
        ++unreadable;
        continue;
      }
      const Verdict verdict = classifier.Judge(std::move(message), kStandardFlags);
      anySpam = anySpam || verdict.spam;
      if (options.json) {
        nlohmann::json line = {{"path", input.path},
                               {"spam", verdict.spam},
                               {"reason", platform::AnsiToUtf8(verdict.reason)}};
        io.out << line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
      } else {
        io.out << input.path << '\t' << (verdict.spam ? "spam" : "good") << '\t'
               << platform::AnsiToUtf8(FirstLine(verdict.reason)) << "\n";
      }
    }
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
  // The paths are read where the parser keeps them (it outlives the command), so a
  // command line naming thousands of files is held once.
  const CLI::Option* paths =
      sub.add_option("PATH", "Message files, Maildir folders, or - for standard input")
          ->required()
          ->expected(CLI::detail::expected_max_vector_size);
  sub.callback([options, paths, &io] { io.status = RunClassify(*options, paths->results(), io); });
}

}  // namespace

Command ClassifyCommand() {
  return {"classify",
          "Judge message files, Maildir folders or standard input (-) without moving or "
          "learning anything",
          SetupClassify};
}

}  // namespace quorvel::app
