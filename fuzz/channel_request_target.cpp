// Target for the command channel's decoder: any body either is refused or decodes to
// a message that encodes and decodes to the same bytes again.
#include "fuzz/fuzz_targets.h"
#include "host/wire.h"

namespace quorvel {

std::string FuzzChannelRequest(FuzzInput input) {
  const std::string_view body(reinterpret_cast<const char*>(input.data()), input.size());
  auto message = host::wire::Decode(body);
  if (!message) return {};
  const std::string frame = host::wire::Encode(*message);
  auto again = host::wire::Decode(std::string_view(frame).substr(4));
  if (!again) return "an encoded message does not decode";
  if (host::wire::Encode(*again) != frame) return "an encoded message decodes to something else";
  return {};
}

}  // namespace quorvel
