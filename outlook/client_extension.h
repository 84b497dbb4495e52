// QVClientExtension: the add-in's second face, the client extension the mail client
// loads besides the add-in object. It gives a second road for new mail delivered
// into Exchange stores (OnDelivery queues it) and records mail the user writes
// (OnWriteComplete: recipients into the White List, the subject into SentSubjs).
//
// One per process, made by the first QVExcHookEntryPoint call and kept by the
// AddInProcess; it uses only the process-wide queue, so it works whether or not the
// core's worker runs yet. Every event is silent about failures and returns its fixed
// result, so the mail client's own handling goes on. Events may come on any thread.
#ifndef QUORVEL_OUTLOOK_CLIENT_EXTENSION_H_
#define QUORVEL_OUTLOOK_CLIENT_EXTENSION_H_

#include <cstdint>
#include <memory>

#include "host/client_extension.h"
#include "outlook/pending_queue.h"
#include "outlook/sent_mail.h"
#include "platform/message_box.h"

namespace quorvel::outlook {

class QVClientExtension final : public host::ClientExtension {
 public:
  // Every argument must outlive the extension.
  QVClientExtension(PendingQueue& queue, SentMailRecorder& recorder,
                    platform::MessageBoxes& messageBoxes)
      : queue_(queue), recorder_(recorder), messageBoxes_(messageBoxes) {}

  // S_OK to be installed into `context`, S_FALSE not to be.
  mapi::HRESULT Install(host::ExchExtCallback& callback, std::uint32_t context,
                        std::uint32_t flags) override;
  // New mail delivered: a message of an Exchange store is queued. S_FALSE.
  mapi::HRESULT OnDelivery(host::ExchExtCallback& callback) override;
  // The message was written (flags 0: successfully). S_FALSE.
  mapi::HRESULT OnWriteComplete(host::ExchExtCallback& callback, std::uint32_t flags) override;

 private:
  PendingQueue& queue_;
  SentMailRecorder& recorder_;
  platform::MessageBoxes& messageBoxes_;
};

// The build version's high word the extension installs into.
inline constexpr std::uint32_t kRequiredBuildMajor = 0x000D;

// The environment check: the first store-table row that is not exactly one Boolean
// PR_DEFAULT_STORE column, or whose value is true, ends the look; the check passes
// when it ended at a true default-store flag.
bool CheckEnvironment(mapi::Session& session);

}  // namespace quorvel::outlook

#endif  // QUORVEL_OUTLOOK_CLIENT_EXTENSION_H_
