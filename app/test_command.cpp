// quorvel test [--json] MESSAGE
//
// Judges one message (any name 'quorvel messages' prints, a file of a Maildir, a
// Message-ID, FOLDER/UID) as new mail would be judged, without moving it or learning
// from it, and shows the verdict: the add-in's Test Message command with its result
// dialog (the headline, "Reason:" and "Information:", where a Bayesian verdict lists
// the deciding words and their probabilities in two columns). With --json one object:
// "verdict" ("spam" or "good"), "headline", "reason" and "information".
//
// Exit status: 0; 1 without a profile, for a message that is not found or could not
// be judged; 2 for usage errors.
#include <CLI/CLI.hpp>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <string>

#include "app/add_in_click.h"
#include "app/commands.h"
#include "host/message_locator.h"
#include "host/profile_host.h"
#include "outlook/add_in.h"
#include "platform/message_box.h"
#include "ui/test_message_dialog.h"

namespace quorvel::app {
namespace {

struct TestOptions {
  bool json = false;
  std::string message;
};

std::string TextOf(const ui::Dialog& dialog, const char* id) {
  const ui::Control* c = dialog.Find(id);
  return c != nullptr ? c->text : std::string();
}

int Test(const TestOptions& options, CommandIo& io) {
  if (!FindCommandFolder(io, "test", "")) return kExitFailure;
  host::MessageLocator locator(io.host->application().Session(), io.ResolvePath("."));
  host::LocatedMessage message;
  host::Outcome found = locator.FindMessage(options.message, &message);
  if (!found.ok()) {
    io.err << "quorvel: " << found.message << "\n";
    return kExitFailure;
  }
  std::optional<ui::Dialog> result;
  const bool json = options.json;
  ClickResult clicked =
      ClickAddIn(io, outlook::kCmdTestMessage, message.folder, host::Selection({message.item}),
                 [&result, json](ui::Dialog& dialog) -> std::optional<std::int32_t> {
                   if (dialog.kind != ui::kTestMessageKind) return std::nullopt;
                   result = dialog;
                   return json ? std::optional<std::int32_t>(platform::IDOK) : std::nullopt;
                 });
  if (!clicked.clicked) return kExitFailure;
  if (!result) {
    io.err << "quorvel: the message could not be judged\n";
    return kExitFailure;
  }
  if (json) {
    nlohmann::json line = {{"verdict", TextOf(*result, ui::kIconControl)},
                           {"headline", result->headline},
                           {"reason", TextOf(*result, ui::kReasonControl)},
                           {"information", TextOf(*result, ui::kInformationControl)}};
    io.out << line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
  }
  return io.out ? kExitOk : kExitIoError;
}

}  // namespace

Command TestCommand() {
  return {"test", "Judge one message and show why, without moving it",
          [](CLI::App& sub, CommandIo& io) {
            auto options = std::make_shared<TestOptions>();
            sub.add_flag("--json", options->json,
                         "One JSON object: verdict, headline, reason, information");
            sub.add_option("MESSAGE", options->message,
                           "A message file, FOLDER/UID, a Message-ID or an entry id")
                ->required();
            sub.callback([options, &io] { io.status = Test(*options, io); });
          }};
}

}  // namespace quorvel::app
