// Frames of the host protocol on a socket: a 4-byte little-endian length (1 to
// protocol::kMaxFrame) and the body. No JSON here; protocol.h reads the bodies.
#ifndef QUORVEL_HOST_FRAMES_H_
#define QUORVEL_HOST_FRAMES_H_

#include <string>

#include "host/protocol.h"
#include "platform/unix_socket.h"

namespace quorvel::host {

enum class FrameRead {
  kOk,
  kEnd,        // the stream ended (or the wait timed out) before a whole frame
  kOversized,  // a length of 0 or over kMaxFrame: the stream cannot be read on
};
FrameRead ReadFrame(platform::Socket& socket, std::string* body);

// False when the peer is gone. REQUIRES: no other thread sends on `socket` meanwhile.
bool SendMessage(platform::Socket& socket, const protocol::Message& message);

// Gives every receive on `socket` a deadline of `milliseconds` (0: none); a receive
// that times out reads as the end of the stream.
void SetReceiveTimeout(platform::Socket& socket, int milliseconds);

}  // namespace quorvel::host

#endif  // QUORVEL_HOST_FRAMES_H_
