// The pass-through of `quorvel filter`: one message read from a stream and written to
// another unchanged, but for the verdict fields at the top of its header block
// (mapi/mime/filter_fields.h says where they go and which fields of the message they
// replace).
//
// Never half a message: nothing is written before the whole input (up to the bound)
// has been read, and a message that cannot be judged goes out exactly as it came.
// A message over mapi::kMaxMessageBytes is not judged: it goes out with
// "X-Quorvel-Verdict: unchecked", what was read so far first and the rest copied in
// pieces as it comes, so that memory stays bounded whatever the size (forged fields are
// looked for in what was read, the first kMaxMessageBytes + 1 bytes).
#ifndef QUORVEL_APP_PASS_THROUGH_H_
#define QUORVEL_APP_PASS_THROUGH_H_

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

namespace quorvel::app {

// What a judged message carries: spam or not, the reason's first line (UTF-8) and the
// Bayesian score ("0.97") when that rule decided, else "".
struct FilterVerdict {
  bool spam = false;
  std::string reason;
  std::string score;
};

// Judges the bytes of one message (at most mapi::kMaxMessageBytes); nullopt when it
// cannot (settings or mail base that did not load; it has said why).
using MessageJudge = std::function<std::optional<FilterVerdict>(const std::string& message)>;

enum class PassOutcome {
  kJudged,        // written with the verdict's fields
  kUnchecked,     // over the size bound: written with "X-Quorvel-Verdict: unchecked"
  kUnjudged,      // the judge could not judge: written unchanged
  kEmpty,         // no byte came: nothing written
  kInputFailed,   // reading failed: nothing written, or (over the bound) part of it
  kOutputFailed,  // writing failed: the output is incomplete
};

struct PassResult {
  PassOutcome outcome = PassOutcome::kJudged;
  bool spam = false;
};

PassResult PassMessageThrough(std::istream& in, std::ostream& out, const MessageJudge& judge);

// The added fields, each line ended by `lineEnd`: "X-Quorvel-Verdict: spam|good",
// "X-Quorvel-Reason", "X-Quorvel-Score" when there is a score, and "X-Spam-Flag: YES"
// on spam; for no verdict, "X-Quorvel-Verdict: unchecked" and its reason.
std::string VerdictFields(const std::optional<FilterVerdict>& verdict, std::string_view lineEnd);

}  // namespace quorvel::app

#endif  // QUORVEL_APP_PASS_THROUGH_H_
