#include "app/crash_setup.h"

#include <cstdlib>
#include <ctime>
#include <string>

#include "app/version.h"
#include "crash/reporter.h"
#include "crash/version_text.h"

namespace quorvel::app {

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

}  // namespace quorvel::app
