// Tells the service manager about the program's state (the readiness protocol of
// systemd units with Type=notify): a datagram such as "READY=1" sent to the socket
// named by $NOTIFY_SOCKET. Without that variable nothing is sent.
#ifndef QUORVEL_PLATFORM_SERVICE_NOTIFY_H_
#define QUORVEL_PLATFORM_SERVICE_NOTIFY_H_

#include <string>

namespace quorvel::platform {

// Sends `state` ("READY=1", "STOPPING=1", "STATUS=...") once. False when a service
// manager asked for notices and could not be told.
bool NotifyServiceManager(const std::string& state);

}  // namespace quorvel::platform

#endif  // QUORVEL_PLATFORM_SERVICE_NOTIFY_H_
