// Target for the host protocol's decoder: any body either is refused or decodes to a
// message that encodes and decodes to the same bytes again.
#include "fuzz/fuzz_targets.h"
#include "host/protocol.h"

namespace quorvel {

std::string FuzzChannelRequest(FuzzInput input) {
  const std::string_view body(reinterpret_cast<const char*>(input.data()), input.size());
  auto decoded = host::protocol::Decode(body);
  if (decoded.kind != host::protocol::Decoded::kMessage) return {};
  const std::string frame = host::protocol::Encode(decoded.message);
  auto again = host::protocol::Decode(std::string_view(frame).substr(4));
  if (again.kind != host::protocol::Decoded::kMessage) return "an encoded message does not decode";
  if (host::protocol::Encode(again.message) != frame) {
    return "an encoded message decodes to something else";
  }
  return {};
}

}  // namespace quorvel
