#include "outlook/spam_judge.h"

#include <cctype>
#include <string>

#include "platform/message_box.h"
#include "platform/string_table.h"

namespace quorvel::outlook {

bool ClassifierJudge::IsSpam(std::shared_ptr<mapi::Message> message, ClassifyFlags flags) {
  if (context_.mailbase.unusable() &&
      context_.clock.TickCount() - lastCheck_.load() >= kRecheckMs) {
    CheckMailbase();
  }
  return Classifier(context_).Classify(std::move(message), nullptr, flags);
}

bool ClassifierJudge::CheckMailbase() {
  lastCheck_ = context_.clock.TickCount();
  const JudgingReadiness readiness = context_.mailbase.PrepareForJudging();
  if (mailbaseUnusable_ != nullptr) *mailbaseUnusable_ = !readiness.usable;
  const bool wasUnusable = reportedUnusable_.exchange(!readiness.usable);
  std::string text;
  if (!readiness.usable && !wasUnusable) {
    text = readiness.note +
           ". Until it loads, the Bayesian filter decides nothing and moves no message; the "
           "other rules still act.";
  } else if (readiness.usable && wasUnusable) {
    text = "The mail base loads again: the Bayesian filter judges mail again.";
  } else if (readiness.usable && !readiness.note.empty()) {
    text = readiness.note;  // what was repaired
  }
  if (!text.empty()) {
    text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    context_.messageBoxes.Show(text, std::string(platform::kProductName),
                               platform::MB_OK | platform::MB_ICONWARNING);
  }
  return readiness.usable;
}

}  // namespace quorvel::outlook
