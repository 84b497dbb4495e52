#ifndef QUORVEL_APP_VERSION_H_
#define QUORVEL_APP_VERSION_H_

namespace quorvel::app {
inline constexpr const char* kVersion = "0.1.0";
}

#endif  // QUORVEL_APP_VERSION_H_
