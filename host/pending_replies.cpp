#include "host/pending_replies.h"

#include <string>

namespace quorvel::host {

protocol::PendingList PendingListReply(const PendingInteractions& pending, std::uint64_t request) {
  protocol::PendingList list{request, {}};
  for (const PendingSummary& s : pending.List()) {
    list.pending.push_back({s.id, s.kind, s.title, s.taken});
  }
  return list;
}

protocol::Message TakeReply(PendingInteractions& pending, const protocol::TakePending& take,
                            std::uint64_t taker) {
  std::optional<Interaction> model = pending.Take(take.pending, taker);
  if (!model) {
    const bool held = [&] {
      for (const PendingSummary& s : pending.List())
        if (s.id == take.pending) return true;
      return false;
    }();
    const std::string which = "pending interaction " + std::to_string(take.pending);
    return protocol::Error{
        take.id, held ? Outcome::Of(OutcomeCode::kBusy, which + " is taken by another client")
                      : Outcome::Of(OutcomeCode::kNotFound, which + " is not waiting")};
  }
  if (model->kind == "message-box") {
    return protocol::MessageBox{take.id, take.pending, model->text, model->caption, model->style};
  }
  return protocol::DialogRequest{take.id, take.pending, std::move(model->dialog)};
}

protocol::Message AnswerReply(PendingInteractions& pending, const protocol::Answer& answer,
                              std::uint64_t taker) {
  InteractionAnswer given;
  given.button = answer.button;
  given.dialog.controls = answer.controls;
  if (!pending.Answer(answer.question, taker, std::move(given))) {
    return protocol::Error{
        answer.id, Outcome::Of(OutcomeCode::kNotFound, "pending interaction " +
                                                           std::to_string(answer.question) +
                                                           " is no longer held by this client")};
  }
  return protocol::Done{answer.id, 0, Outcome::Ok()};
}

}  // namespace quorvel::host
