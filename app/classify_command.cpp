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
#include <deque>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <string_view>
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
  std::vector<std::string> paths;
};

std::string FirstLine(const std::string& text) {
  return text.substr(0, text.find_first_of("\r\n"));
}

int RunClassify(ClassifyOptions& options, CommandIo& io) {
  // Arguments are expanded one at a time as they are reached, and named by the command
  // line's own strings: a run over thousands of files holds no list of them.
  std::deque<std::string> kept;
  const std::vector<std::string_view> args =
      ViewsOfCommandLine(&options.paths, io.commandLine, &kept);

  UserEnvironment env(io.err);
  const ClassifyContext context{env.settings(), env.mailbase(), env.messageBoxes(), env.clock()};
  const Classifier classifier(context);

  bool anySpam = false;
  int unreadable = 0;
  std::vector<MessageInput> inputs;
  for (std::string_view arg : args) {
    std::string error;
    inputs.clear();
    if (!ExpandMessageInput(std::string(arg), &inputs, &error)) {
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

}  // namespace

Command ClassifyCommand() {
  return {"classify",
          "Judge message files, Maildir folders or standard input (-) without moving or "
          "learning anything",
          [](CLI::App& sub) -> std::function<int(CommandIo&)> {
            auto options = std::make_shared<ClassifyOptions>();
            sub.add_flag("--json", options->json,
                         "One JSON object per message: path, spam, reason");
            sub.add_flag("--exit-code", options->exitCode,
                         "Exit with status 1 when the message is spam (for delivery filters)");
            sub.add_option("PATH", options->paths,
                           "Message files, Maildir folders, or - for standard input")
                ->required();
            return [options](CommandIo& io) { return RunClassify(*options, io); };
          }};
}

}  // namespace quorvel::app
