#include "app/crash_setup.h"

#include <cstdlib>
#include <ctime>
#include <string>

#include "app/version.h"
#include "crash/reporter.h"
#include "crash/version_text.h"
#include "platform/file_system.h"

namespace quorvel::app {
namespace {

// Replays the answer a person gave to the report's pending interaction: the dialog takes
// it; what the offer says afterwards (where the file is, that sending failed) goes to
// the host's own presenter.
class AnsweredUi final : public ui::Ui {
 public:
  AnsweredUi(std::int32_t button, ui::Ui& host) : button_(button), host_(host) {}
  int Show(const std::string& text, const std::string& caption, std::uint32_t style) override {
    return host_.Show(text, caption, style);
  }
  std::int32_t Present(ui::Dialog&) override { return button_; }
  std::unique_ptr<ui::Progress> BeginProgress(const std::string& title) override {
    return host_.BeginProgress(title);
  }
  void Notify(const std::string& title, const std::string& text) override {
    host_.Notify(title, text);
  }
  bool OpenUrl(const std::string&) override { return false; }
  bool Interactive() const override { return true; }

 private:
  const std::int32_t button_;
  ui::Ui& host_;
};

}  // namespace

std::string ReportMarkerPath(const std::string& dataFolder) {
  return dataFolder + "ExceptionReport.waiting";
}

void InstallHostReporter(const std::string& dataFolder, const std::string& moduleFolder) {
  if (crash::ReporterInstalled()) return;
  crash::ReporterConfig config;
  config.version = kVersion;
  config.systemText = crash::SystemVersionText(259, crash::ReadSystemIdentity());
  config.hostText = crash::HostVersionText("Quorvel host", kVersion);
  config.reportPath = crash::ReportPathFor(moduleFolder, dataFolder);
  config.markerPath = ReportMarkerPath(dataFolder);
  crash::InstallReporter(config);
}

void UninstallHostReporter() { crash::UninstallReporter(); }

crash::OfferResult OfferWaitingReport(ui::Ui& presenter, const host::Profile& profile,
                                      const std::string& dataFolder) {
  crash::OfferOptions options;
  options.markerPath = ReportMarkerPath(dataFolder);
  if (!profile.maildir.empty()) {
    options.outbox = profile.maildir + "/.Outbox";
    options.sent = profile.maildir + "/.Sent";
  }
  // QUORVEL_SENDMAIL names another sendmail (tests; systems that keep it elsewhere).
  if (const char* sendmail = std::getenv("QUORVEL_SENDMAIL"); sendmail && *sendmail) {
    options.sendmail = sendmail;
  }
  options.mail.version = kVersion;
  options.mail.compiledOn = crash::CompilationDate();
  if (!profile.addresses.empty()) options.mail.from = profile.addresses.front();
  char date[64] = {};
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (localtime_r(&now, &local))
    std::strftime(date, sizeof date, "%a, %d %b %Y %H:%M:%S %z", &local);
  options.mail.date = date;
  return crash::OfferWaitingReport(presenter, options);
}

void OfferWaitingReportToClients(host::Application& application, const host::Profile& profile,
                                 const std::string& dataFolder) {
  std::string reportPath;
  if (!platform::RealFileSystem().ReadFile(ReportMarkerPath(dataFolder), &reportPath).ok()) return;
  host::Interaction interaction;
  interaction.kind = "exception-report";
  interaction.dialog = crash::ReportDialog(reportPath);
  interaction.caption = interaction.dialog.title;
  interaction.defaultAnswer = interaction.dialog.defaultButton;
  application.RaisePending(
      std::move(interaction), host::PendingInteractions::kNoDeadline,
      [&application, profile, dataFolder](const host::InteractionAnswer& answer) {
        if (!answer.byPerson) return;  // the report waits for the next host
        AnsweredUi replay(answer.button, application.Presenter());
        OfferWaitingReport(replay, profile, dataFolder);
      });
}

}  // namespace quorvel::app
