// Attaching the core to the add-in: the program calls AttachCore on the add-in's
// services so that the add-in creates a QVCore over the process-wide objects, knows
// whether the first-run wizard is still pending, and forgets goodSeen when the user
// changes the selection; the client extension's factory hands out the one extension.
#ifndef QUORVEL_OUTLOOK_CORE_SERVICES_H_
#define QUORVEL_OUTLOOK_CORE_SERVICES_H_

#include <functional>
#include <memory>

#include "host/add_in.h"
#include "outlook/add_in.h"
#include "outlook/add_in_process.h"
#include "outlook/qv_core.h"

namespace quorvel::outlook {

// `customize` may fill in the core's hooks (log, desktop notices, options sheet); it
// runs for each core made. The services keep `process` alive.
void AttachCore(AddInServices& services, std::shared_ptr<AddInProcess> process,
                std::function<void(CoreOptions&)> customize = {});

// The client extension's factory for the host's loader.
std::function<std::shared_ptr<host::ClientExtension>()> ClientExtensionFactory(
    std::shared_ptr<AddInProcess> process);

}  // namespace quorvel::outlook

#endif  // QUORVEL_OUTLOOK_CORE_SERVICES_H_
