#include "app/pass_through.h"

#include <algorithm>
#include <istream>
#include <ostream>

#include "mapi/mime/filter_fields.h"
#include "mapi/mime/input_bounds.h"

namespace quorvel::app {
namespace {

constexpr std::size_t kPiece = std::size_t{1} << 16;

// Reads until `bytes` holds `limit` bytes or the input ends. False when reading failed.
bool ReadUpTo(std::istream& in, std::string& bytes, std::size_t limit) {
  while (bytes.size() < limit) {
    const std::size_t used = bytes.size();
    bytes.resize(used + std::min(kPiece, limit - used));
    in.read(bytes.data() + used, static_cast<std::streamsize>(bytes.size() - used));
    bytes.resize(used + static_cast<std::size_t>(in.gcount()));
    if (in.bad()) return false;
    if (in.eof()) break;
  }
  return true;
}

bool Write(std::ostream& out, std::string_view bytes) {
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

// The message with `fields` in place, then whatever of the input follows it.
PassResult WriteStamped(std::istream& in, std::ostream& out, std::string_view message,
                        std::string_view fields, PassResult done) {
  const mapi::StampedHead stamped = mapi::StampMessage(message, fields);
  if (!Write(out, stamped.head) || !Write(out, message.substr(stamped.rest))) {
    return {PassOutcome::kOutputFailed};
  }
  std::string piece;
  while (in.good()) {
    piece.clear();
    if (!ReadUpTo(in, piece, kPiece)) return {PassOutcome::kInputFailed};
    if (!Write(out, piece)) return {PassOutcome::kOutputFailed};
  }
  if (!out.flush()) return {PassOutcome::kOutputFailed};
  return done;
}

}  // namespace

std::string VerdictFields(const std::optional<FilterVerdict>& verdict, std::string_view lineEnd) {
  if (!verdict) {
    return mapi::FormatHeaderField("X-Quorvel-Verdict", "unchecked", lineEnd) +
           mapi::FormatHeaderField(
               "X-Quorvel-Reason",
               "Larger than " + std::to_string(mapi::kMaxMessageBytes >> 20) + " MiB: not judged",
               lineEnd);
  }
  std::string fields =
      mapi::FormatHeaderField("X-Quorvel-Verdict", verdict->spam ? "spam" : "good", lineEnd) +
      mapi::FormatHeaderField("X-Quorvel-Reason", verdict->reason, lineEnd);
  if (!verdict->score.empty()) {
    fields += mapi::FormatHeaderField("X-Quorvel-Score", verdict->score, lineEnd);
  }
  if (verdict->spam) fields += mapi::FormatHeaderField("X-Spam-Flag", "YES", lineEnd);
  return fields;
}

PassResult PassMessageThrough(std::istream& in, std::ostream& out, const MessageJudge& judge) {
  std::string message;
  // Reserved at once, the buffer is never copied as it grows; only the pages that are
  // read into become resident.
  message.reserve(mapi::kMaxMessageBytes + 1);
  // One byte past the bound tells a message at the bound from a larger one.
  if (!ReadUpTo(in, message, mapi::kMaxMessageBytes + 1)) return {PassOutcome::kInputFailed};
  if (message.empty()) return {PassOutcome::kEmpty};
  const std::string_view lineEnd = mapi::MessageLineEnd(message);
  if (message.size() > mapi::kMaxMessageBytes) {
    return WriteStamped(in, out, message, VerdictFields(std::nullopt, lineEnd),
                        {PassOutcome::kUnchecked});
  }
  const std::optional<FilterVerdict> verdict = judge(message);
  if (!verdict) {
    if (!Write(out, message) || !out.flush()) return {PassOutcome::kOutputFailed};
    return {PassOutcome::kUnjudged};
  }
  return WriteStamped(in, out, message, VerdictFields(verdict, lineEnd),
                      {PassOutcome::kJudged, verdict->spam});
}

}  // namespace quorvel::app
