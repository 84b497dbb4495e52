// The exception reporter of a host opened by this program: installed when the host
// opens and restored when it closes, with its report in the module folder when that
// can be written to, else in the data folder; and the offer of a report that a host
// left when it died, made to the presenter of the next host that has a person to ask.
#ifndef QUORVEL_APP_CRASH_SETUP_H_
#define QUORVEL_APP_CRASH_SETUP_H_

#include <string>

#include "crash/report_offer.h"
#include "host/application.h"
#include "host/profiles.h"
#include "ui/ui.h"

namespace quorvel::app {

// "<data folder>/ExceptionReport.waiting": holds the path of a report not yet offered.
std::string ReportMarkerPath(const std::string& dataFolder);

// Installs the process's reporter (once; later calls while installed do nothing).
void InstallHostReporter(const std::string& dataFolder, const std::string& moduleFolder);
void UninstallHostReporter();

// Offers a waiting report through `presenter`, mailing it from `profile` (its Outbox and
// Sent folders when it is a Maildir profile).
crash::OfferResult OfferWaitingReport(ui::Ui& presenter, const host::Profile& profile,
                                      const std::string& dataFolder);

// In a host that serves clients, a waiting report is a pending interaction: the next
// interactive client shows its dialog, and the answer is acted on then (the messages
// that follow go to the host's presenter). A host that stops first, or a default taken
// without a person, leaves the report waiting. `application` outlives its pending queue.
void OfferWaitingReportToClients(host::Application& application, const host::Profile& profile,
                                 const std::string& dataFolder);

}  // namespace quorvel::app

#endif  // QUORVEL_APP_CRASH_SETUP_H_
