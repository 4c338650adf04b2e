#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/line_device.h"

namespace tqm {

// A TCP connection to a serial server, as the network lines use it: non-blocking,
// TCP_NODELAY (a command goes out at once) and keep-alive on (a server that vanished
// without a word is noticed). Faults come with the network's words: "connection
// refused", "host not found", "timed out", "connection reset".
//
// Once connected, receive, sendAll and the queries may run on two threads at once;
// abort() from any thread ends the connection for every later call.
class SocketStream final {
public:
    using Clock = std::chrono::steady_clock;

    SocketStream() = default;
    ~SocketStream();
    SocketStream(const SocketStream&) = delete;
    SocketStream& operator=(const SocketStream&) = delete;

    // Blocks until the deadline at most: resolves the host (IPv4 and IPv6; a name
    // that does not resolve in time counts as timed out) and tries its addresses in
    // turn. name is what faults call the line. False with the fault filled in.
    bool connect(const std::string& host, std::uint16_t port, Clock::time_point deadline, const std::string& name,
                 SerialFault& fault);
    // Shuts the connection down; the descriptor stays until close().
    void abort();
    void close();
    bool isOpen() const { return m_fd >= 0 && !m_aborted.load(std::memory_order_acquire); }
    int descriptor() const { return m_fd; }

    // Bytes received and not yet read; bytes written and not yet taken by the far end.
    std::uint32_t received() const;
    std::uint32_t unsent() const;
    // False, with the fault filled in, when the far end has ended the connection and
    // nothing is left to read, or the connection failed.
    bool alive(SerialFault& fault) const;
    // Takes up to max bytes already received; never blocks. 0 when none waits, -1 on a
    // fault (the connection ended, was reset, or timed out).
    long receive(std::uint8_t* destination, std::size_t max, SerialFault& fault);
    // Blocks until the deadline at most, until every byte is handed to the system.
    // Returns the bytes sent; fewer with the fault filled in.
    std::size_t sendAll(const void* bytes, std::size_t length, Clock::time_point deadline, SerialFault& fault);
    // Blocks until the deadline at most, until bytes are waiting (true) or not.
    bool waitReadable(Clock::time_point deadline) const;

private:
    // The fault for a system error: in the network's words while connecting; once
    // connected, every failure is a LineFault (the port closes on it).
    void fault(SerialFault& fault, int error, bool connecting = false) const;

    int m_fd = -1;
    std::string m_name;
    std::atomic<bool> m_aborted{false};
};

}  // namespace tqm
