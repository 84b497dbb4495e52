// SpamJudge: what the worker asks for a verdict. The add-in judges with the
// classifier's full rule chain (ClassifierJudge); tests script the verdicts.
#ifndef QUORVEL_OUTLOOK_SPAM_JUDGE_H_
#define QUORVEL_OUTLOOK_SPAM_JUDGE_H_

#include <atomic>
#include <cstdint>
#include <memory>

#include "core/classifier.h"
#include "core/classify_context.h"
#include "core/verdict.h"
#include "mapi/message.h"

namespace quorvel::outlook {

class SpamJudge {
 public:
  virtual ~SpamJudge() = default;
  // True for spam. Called on the worker thread.
  virtual bool IsSpam(std::shared_ptr<mapi::Message> message, ClassifyFlags flags) = 0;
};

// Judges with a classifier made for each message (its time is the judging time).
// The context's objects (and `mailbaseUnusable`, when given) must outlive the judge.
//
// A mail base that does not load makes the Bayesian rule decide nothing (no message is
// moved by it) and is said loudly once, through the context's message boxes; while it
// stays so, it is tried again before a message is judged, at most once a minute, and
// said again when it loads. `mailbaseUnusable` mirrors the state for the host's status.
// Thread-safety: CheckMailbase and IsSpam may be called from different threads.
class ClassifierJudge final : public SpamJudge {
 public:
  static constexpr std::uint32_t kRecheckMs = 60'000;

  explicit ClassifierJudge(const ClassifyContext& context,
                           std::atomic<bool>* mailbaseUnusable = nullptr)
      : context_(context), mailbaseUnusable_(mailbaseUnusable) {}
  bool IsSpam(std::shared_ptr<mapi::Message> message, ClassifyFlags flags) override;
  // Loads the mail base for judging (a damaged table is compiled again) and reports a
  // change of state. Returns whether it is usable.
  bool CheckMailbase();

 private:
  ClassifyContext context_;
  std::atomic<bool>* mailbaseUnusable_;
  std::atomic<bool> reportedUnusable_{false};
  std::atomic<std::uint32_t> lastCheck_{0};
};

}  // namespace quorvel::outlook

#endif  // QUORVEL_OUTLOOK_SPAM_JUDGE_H_
