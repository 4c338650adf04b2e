#pragma once

#include <chrono>
#include <cstddef>

#include "platform/socket_stream.h"

namespace tqm {

// Connecting to a serial server, negotiation included, takes at most this long.
inline constexpr std::chrono::milliseconds kConnectBound{2000};

// The bound of a write, as for a serial device: 10 ms per byte + 500 ms.
inline SocketStream::Clock::time_point writeDeadline(std::size_t length) {
    return SocketStream::Clock::now() + std::chrono::milliseconds(10 * length + 500);
}

}  // namespace tqm
