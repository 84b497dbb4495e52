#include "host/frames.h"

#include <sys/socket.h>
#include <sys/time.h>

#include <cstdint>

namespace quorvel::host {

FrameRead ReadFrame(platform::Socket& socket, std::string* body) {
  unsigned char header[4];
  if (!socket.ReceiveAll(header, 4)) return FrameRead::kEnd;
  const std::uint32_t size =
      header[0] | header[1] << 8 | header[2] << 16 | static_cast<std::uint32_t>(header[3]) << 24;
  if (size == 0 || size > protocol::kMaxFrame) return FrameRead::kOversized;
  body->assign(size, '\0');
  return socket.ReceiveAll(body->data(), size) ? FrameRead::kOk : FrameRead::kEnd;
}

bool SendMessage(platform::Socket& socket, const protocol::Message& message) {
  const std::string frame = protocol::Encode(message);
  return socket.SendAll(frame.data(), frame.size());
}

void SetReceiveTimeout(platform::Socket& socket, int milliseconds) {
  timeval tv{milliseconds / 1000, (milliseconds % 1000) * 1000};
  ::setsockopt(socket.fd(), SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
}

}  // namespace quorvel::host
