#include "outlook/add_in_process.h"

#include "outlook/client_extension.h"

namespace quorvel::outlook {

AddInProcess::AddInProcess(AddInEnvironment environment)
    : env_(std::move(environment)),
      mailbase_(env_.messageBoxes),
      queue_(env_.clock, settings_),
      recorder_(settings_, env_.clock) {}

std::shared_ptr<host::ClientExtension> AddInProcess::QVExcHookEntryPoint() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!extension_) {
    extension_ = std::make_shared<QVClientExtension>(queue_, recorder_, env_.messageBoxes);
  }
  return extension_;
}

}  // namespace quorvel::outlook
