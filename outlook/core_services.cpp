#include "outlook/core_services.h"

#include <string>

namespace quorvel::outlook {

void AttachCore(AddInServices& services, std::shared_ptr<AddInProcess> process,
                std::function<void(CoreOptions&)> customize) {
  services.createCore = [process, customize]() -> std::shared_ptr<IQuorvel2> {
    CoreOptions options{.process = *process};
    if (customize) customize(options);
    return std::make_shared<QVCore>(std::move(options));
  };
  services.wizardPending = [process] { return process->settings().Lock()->showWizard != 0; };
  auto previous = services.selectionChanged;
  services.selectionChanged = [process, previous] {
    process->goodSeen() = false;
    if (previous) previous();
  };
}

std::function<std::shared_ptr<host::ClientExtension>()> ClientExtensionFactory(
    std::shared_ptr<AddInProcess> process) {
  return [process] { return process->QVExcHookEntryPoint(); };
}

}  // namespace quorvel::outlook
