// The host's replies to a client's requests about pending interactions: the list,
// the question that a take hands over (a message box or a dialog whose `question` is
// the interaction's id), and what an answer to it gets (Done, or an Error when the
// client no longer holds it). The channel's reader sends them; `taker` names its
// connection (never 0).
//
// Thread-safety: as PendingInteractions.
#ifndef QUORVEL_HOST_PENDING_REPLIES_H_
#define QUORVEL_HOST_PENDING_REPLIES_H_

#include <cstdint>

#include "host/pending_interactions.h"
#include "host/protocol.h"

namespace quorvel::host {

protocol::PendingList PendingListReply(const PendingInteractions& pending, std::uint64_t request);
protocol::Message TakeReply(PendingInteractions& pending, const protocol::TakePending& take,
                            std::uint64_t taker);
// `answer.id` is the take request's id, `answer.question` the interaction's.
protocol::Message AnswerReply(PendingInteractions& pending, const protocol::Answer& answer,
                              std::uint64_t taker);

}  // namespace quorvel::host

#endif  // QUORVEL_HOST_PENDING_REPLIES_H_
