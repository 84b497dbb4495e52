// Loads add-ins the way the mail client does: from their registration. An add-in is
// a subkey of Software\Microsoft\Office\Outlook\Addins (under HKEY_LOCAL_MACHINE, then
// HKEY_CURRENT_USER) whose "LoadBehavior" has both low bits set (3: load at start);
// its key name is a ProgID that HKEY_CLASSES_ROOT maps to a class id, whose
// InprocServer32 names the module. The class id picks the factory the program offers.
// The client extension is loaded from the values of
// SOFTWARE\Microsoft\Exchange\Client\Extensions ("4.0;<module>;<ordinal>;...").
#ifndef QUORVEL_HOST_ADD_IN_LOADER_H_
#define QUORVEL_HOST_ADD_IN_LOADER_H_

#include <memory>
#include <string>
#include <vector>

#include "host/add_in.h"
#include "platform/registry.h"

namespace quorvel::host {

struct LoadedAddIn {
  std::string progId;
  std::string clsid;
  std::shared_ptr<AddIn> addIn;
};

struct LoadResult {
  std::vector<LoadedAddIn> addIns;
  std::shared_ptr<ClientExtension> clientExtension;
  // What was not loaded and why, one sentence each, for the host to say.
  std::vector<std::string> notes;
};

// `factories.addIns` is keyed by class id ("{D20CF633-...}").
LoadResult LoadAddIns(platform::Registry& registry, const AddInFactories& factories);

}  // namespace quorvel::host

#endif  // QUORVEL_HOST_ADD_IN_LOADER_H_
