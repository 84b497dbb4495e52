// What the classifier works with besides the message: the live settings (read
// under their lock), the mail base, the message boxes, the clock, and the trusted
// domains of the White List rule. The context only refers to these objects; the
// caller owns them and keeps them alive while classifications run.
#ifndef QUORVEL_CORE_CLASSIFY_CONTEXT_H_
#define QUORVEL_CORE_CLASSIFY_CONTEXT_H_

#include <span>
#include <string_view>

#include "bayes/mailbase.h"
#include "core/trusted_domains.h"
#include "platform/clock.h"
#include "platform/message_box.h"
#include "settings/settings_holder.h"

namespace quorvel {

struct ClassifyContext {
  SettingsHolder& settings;
  Mailbase& mailbase;
  platform::MessageBoxes& messageBoxes;
  const platform::Clock& clock;
  // Domain keys the White List rule trusts as if they were White List domains.
  std::span<const std::string_view> trustedDomains = kBuiltInTrustedDomains;
};

}  // namespace quorvel

#endif  // QUORVEL_CORE_CLASSIFY_CONTEXT_H_
