#include "crash/report_offer.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>

#include "crash/report_file.h"

extern char** environ;

namespace quorvel::crash {
namespace {

// Hands `message` to `sendmail -t -i` on its standard input. True when it exited 0.
bool HandToSendmail(const std::string& sendmail, const std::string& message) {
  if (access(sendmail.c_str(), X_OK) != 0) return false;
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return false;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[0], 0);
  std::string program = sendmail;
  std::string t = "-t", i = "-i";
  char* argv[] = {program.data(), t.data(), i.data(), nullptr};
  pid_t pid = -1;
  const int spawned = posix_spawn(&pid, sendmail.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[0]);
  if (spawned != 0) {
    close(fds[1]);
    return false;
  }
  // A sendmail that stops reading must not kill the host with SIGPIPE.
  struct sigaction ignore {
  }, before{};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGPIPE, &ignore, &before);
  std::size_t done = 0;
  while (done < message.size()) {
    const ssize_t wrote = write(fds[1], message.data() + done, message.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) break;
    done += static_cast<std::size_t>(wrote);
  }
  close(fds[1]);
  sigaction(SIGPIPE, &before, nullptr);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return done == message.size() && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string UniqueName() {
  static std::atomic<unsigned> counter{0};
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  char host[256] = "localhost";
  gethostname(host, sizeof host - 1);
  return std::to_string(std::chrono::duration_cast<std::chrono::seconds>(now).count()) + ".Q" +
         std::to_string(getpid()) + "_" + std::to_string(counter++) + "." + host;
}

bool IsFolder(platform::FileSystem& files, const std::string& path) {
  platform::FileInfo info;
  return !path.empty() && files.Stat(path, &info).ok() && info.kind == platform::FileKind::kFolder;
}

// Makes the Maildir folder `folder` of a Maildir++ tree when it is missing (only when
// something is about to be written into it). False when it cannot be made.
bool MakeMaildirFolder(platform::FileSystem& files, const std::string& folder) {
  if (folder.empty()) return false;
  const bool existed = IsFolder(files, folder);
  for (const char* sub : {"/tmp", "/new", "/cur"}) {
    if (!files.CreateFolders(folder + sub, 0700).ok()) return false;
  }
  return existed || files.WriteFileAtomic(folder + "/maildirfolder", "").ok();
}

// Puts `message` into the Maildir folder `folder` (tmp/, then new/). The file's path,
// or "" when it could not be written.
std::string DeliverToFolder(platform::FileSystem& files, const std::string& folder,
                            const std::string& name, const std::string& message) {
  if (!MakeMaildirFolder(files, folder)) return "";
  const std::string staged = folder + "/tmp/" + name;
  const std::string delivered = folder + "/new/" + name;
  if (!files.WriteFileAtomic(staged, message, 0600).ok()) return "";
  if (!files.RenameNoReplace(staged, delivered).ok()) {
    files.Remove(staged);
    return "";
  }
  return delivered;
}

}  // namespace

ui::Dialog ReportDialog(const std::string& reportPath) {
  ui::Dialog dialog;
  dialog.kind = "exception-report";
  dialog.title = "Quorvel";
  dialog.headline =
      "Quorvel has encountered a problem and need to close.\nWe are sorry for the "
      "inconvenience.";
  ui::Control text;
  text.id = "text";
  text.label =
      "We have created an error report that you can send to help us improve Quorvel. We will "
      "treat this report as confidential and anonymous.";
  ui::Control link;
  link.id = "report";
  link.label = "To see what data this error report contains, <" + reportPath + "|click here>.";
  link.text = reportPath;
  dialog.controls = {text, link};
  dialog.buttons = {{kSendButton, "Send Error Report"}, {kDontSendButton, "Don't Send"}};
  dialog.defaultButton = kDontSendButton;
  dialog.cancelButton = kDontSendButton;
  dialog.affirmativeButton = kSendButton;
  return dialog;
}

OfferResult OfferWaitingReport(ui::Ui& ui, const OfferOptions& options) {
  platform::FileSystem& files = options.files ? *options.files : platform::RealFileSystem();
  std::string reportPath;
  if (!files.ReadFile(options.markerPath, &reportPath).ok()) return OfferResult::kNothingWaiting;
  ui::Dialog dialog = ReportDialog(reportPath);
  const int button = ui.Present(dialog);
  // A presenter without a person gives the default; one told to agree (--yes) does not.
  if (!ui.Interactive() && button == dialog.defaultButton) return OfferResult::kNobodyToAsk;
  files.Remove(options.markerPath);
  if (button != kSendButton) return OfferResult::kNotSent;

  std::string report;
  if (!files.ReadFile(reportPath, &report).ok()) {
    ui.Show("Quorvel cannot read the error report " + reportPath + ".", "Quorvel", 0x10);
    return OfferResult::kFileOnly;
  }
  const std::string name = UniqueName();
  ReportMail mail = options.mail;
  if (mail.messageId.empty()) mail.messageId = name;
  if (mail.boundary.empty()) mail.boundary = "=_quorvel_report_" + name;
  const std::string message = ComposeReportMail(mail, kReportFileName, report);
  const std::string queued = DeliverToFolder(files, options.outbox, name, message);
  if (HandToSendmail(options.sendmail, message)) {
    if (!queued.empty() && MakeMaildirFolder(files, options.sent)) {
      files.RenameNoReplace(queued, options.sent + "/cur/" + name + ":2,S");
    }
    return OfferResult::kSent;
  }
  if (!queued.empty()) {
    ui.Show(
        "The error report waits in the Outbox (" + queued + "). The report is " + reportPath + ".",
        "Quorvel", 0x40);
    return OfferResult::kInOutbox;
  }
  ui.Show("Quorvel could not send the error report. You can send the file " + reportPath + " to " +
              mail.to + " yourself.",
          "Quorvel", 0x40);
  return OfferResult::kFileOnly;
}

}  // namespace quorvel::crash
