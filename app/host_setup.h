// Hosts made by the command line: the add-ins this program provides (the factory
// table the host loads from), the profile a command names, and a host of that profile
// opened in this process: long-running for `quorvel run`, short-lived for a command
// that finds no host to send itself to.
#ifndef QUORVEL_APP_HOST_SETUP_H_
#define QUORVEL_APP_HOST_SETUP_H_

#include <iosfwd>
#include <memory>
#include <string>

#include "host/outcome.h"
#include "host/profile_host.h"
#include "host/profiles.h"
#include "host/store_links.h"
#include "outlook/add_in_process.h"
#include "platform/registry.h"
#include "ui/ui.h"

namespace quorvel::app {

// The add-ins of this program by class id: QVAddIn.
host::AddInFactories ProgramAddIns();

// Whether the cores made from now on run a due first-run wizard on its defaults when
// nobody answers (quorvel run --yes) instead of leaving it waiting for a person.
void SetWizardOnDefaults(bool onDefaults);

// The add-in's process-wide objects (settings, mail base, pending queue), made on
// first use and kept to the end of the process. Their message boxes go to the
// presenter of the host open in this process, else to standard error.
outlook::AddInProcess& ProgramProcess();

// While it lives, the message boxes of the process-wide objects shown on this thread
// go to `presenter` (a job's, which asks the job's client) instead of the host's own.
class JobPresenterScope {
 public:
  explicit JobPresenterScope(ui::Ui* presenter);
  ~JobPresenterScope();
  JobPresenterScope(const JobPresenterScope&) = delete;
  JobPresenterScope& operator=(const JobPresenterScope&) = delete;

 private:
  ui::Ui* previous_;
};

// The profile `requested` names (or the default). False with the reason in *error.
bool ResolveProfile(platform::Registry& registry, const std::string& requested,
                    host::Profile* profile, std::string* error);

// Whether a command may run on its own, without a profile: it names none and there is
// no profile at all (as before profiles existed).
bool RunsWithoutProfile(platform::Registry& registry, const std::string& requested);

// A host open in this process; closing it also takes its presenter away from the
// process-wide objects.
struct CloseHost {
  void operator()(host::ProfileHost* host) const;
};
using OpenedHost = std::unique_ptr<host::ProfileHost, CloseHost>;

// Opens the host of `profile` on the store the profile names, without connecting
// its add-ins. One at a time. `*code` (when given) says why it failed: kUnreachable
// when the profile's IMAP server could not be reached, kRefused for a wrong password or
// certificate, else kFailed. `links` (when given) keeps the store's connection state
// and must outlive the host.
OpenedHost OpenProfileHost(platform::Registry& registry, const host::Profile& profile,
                           ui::Ui& presenter, bool watch, std::string* error,
                           host::OutcomeCode* code = nullptr, host::StoreLinks* links = nullptr);

// The running program's path (what registration writes as the module).
std::string ProgramPath();

}  // namespace quorvel::app

#endif  // QUORVEL_APP_HOST_SETUP_H_
