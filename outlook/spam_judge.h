// SpamJudge: what the worker asks for a verdict. The add-in judges with the
// classifier's full rule chain (ClassifierJudge); tests script the verdicts.
#ifndef QUORVEL_OUTLOOK_SPAM_JUDGE_H_
#define QUORVEL_OUTLOOK_SPAM_JUDGE_H_

#include <memory>
#include <string>

#include "core/classifier.h"
#include "core/classify_context.h"
#include "core/verdict.h"
#include "mapi/message.h"

namespace quorvel::outlook {

class SpamJudge {
 public:
  virtual ~SpamJudge() = default;
  // True for spam; `reason`, when not null, gets the verdict's reason. Called on the
  // worker thread.
  virtual bool IsSpam(std::shared_ptr<mapi::Message> message, ClassifyFlags flags,
                      std::string* reason) = 0;
};

// Judges with a classifier made for each message (its time is the judging time).
// The context's objects must outlive the judge.
class ClassifierJudge final : public SpamJudge {
 public:
  explicit ClassifierJudge(const ClassifyContext& context) : context_(context) {}
  bool IsSpam(std::shared_ptr<mapi::Message> message, ClassifyFlags flags,
              std::string* reason) override {
    return Classifier(context_).Classify(std::move(message), reason, flags);
  }

 private:
  ClassifyContext context_;
};

}  // namespace quorvel::outlook

#endif  // QUORVEL_OUTLOOK_SPAM_JUDGE_H_
