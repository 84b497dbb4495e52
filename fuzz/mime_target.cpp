// Target for the MIME mapping: the bytes as a message file, opened as a message and
// judged by the whole rule chain with the default settings and an empty mail base.
// Every message must get a verdict with a reason.
#include "bayes/mailbase.h"
#include "core/classifier.h"
#include "fuzz/fuzz_targets.h"
#include "mapi/mime/mime_message.h"
#include "platform/clock.h"
#include "platform/message_box.h"
#include "settings/settings_holder.h"

namespace quorvel {

std::string FuzzMime(FuzzInput input) {
  const std::string_view bytes(reinterpret_cast<const char*>(input.data()), input.size());
  std::shared_ptr<mapi::Message> message = mapi::OpenMimeMessageBytes(bytes);
  if (!message) return "a message could not be opened from bytes";
  SettingsHolder settings;
  platform::ScriptedMessageBoxes boxes;
  Mailbase mailbase(boxes);
  const platform::FakeClock clock;
  const Classifier classifier(ClassifyContext{settings, mailbase, boxes, clock});
  const Verdict verdict = classifier.Judge(std::move(message), kStandardFlags);
  if (verdict.reason.empty()) return "a verdict without a reason";
  return {};
}

}  // namespace quorvel
