#pragma once

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace tqm::test {

// The far end of a pseudo-terminal: the program opens slavePath() as its serial
// device; the test writes the transceiver's bytes here and reads what the program sent.
class PtyPeer final {
public:
    PtyPeer() {
        m_fd = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (m_fd < 0) return;
        char name[128] = {};
        if (::grantpt(m_fd) != 0 || ::unlockpt(m_fd) != 0 || ::ptsname_r(m_fd, name, sizeof name) != 0) {
            close();
            return;
        }
        m_slavePath = name;
    }
    ~PtyPeer() { close(); }
    PtyPeer(const PtyPeer&) = delete;
    PtyPeer& operator=(const PtyPeer&) = delete;

    bool valid() const { return m_fd >= 0; }
    const std::string& slavePath() const { return m_slavePath; }

    bool write(std::string_view bytes) {
        std::size_t done = 0;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (done < bytes.size() && std::chrono::steady_clock::now() < deadline) {
            const ssize_t n = ::write(m_fd, bytes.data() + done, bytes.size() - done);
            if (n > 0) done += static_cast<std::size_t>(n);
            else waitFor(POLLOUT, 10);
        }
        return done == bytes.size();
    }

    // Blocks until at least count bytes came or the timeout passed; returns what came.
    std::string readAtLeast(std::size_t count, std::chrono::milliseconds timeout = std::chrono::milliseconds(5000)) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        std::string received;
        while (received.size() < count && std::chrono::steady_clock::now() < deadline) {
            char buffer[512];
            const ssize_t n = ::read(m_fd, buffer, sizeof buffer);  // EAGAIN, or EIO with no slave open
            if (n > 0) received.append(buffer, static_cast<std::size_t>(n));
            else waitFor(POLLIN, 5);
        }
        return received;
    }

    // Blocks for the whole window; returns everything that arrived (to show that nothing did).
    std::string readFor(std::chrono::milliseconds window) { return readAtLeast(SIZE_MAX, window); }

    void close() {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = -1;
    }

private:
    void waitFor(short events, int ms) {
        pollfd entry{m_fd, events, 0};
        ::poll(&entry, 1, ms);
        if (entry.revents & POLLHUP) ::usleep(static_cast<useconds_t>(ms) * 1000);  // no slave: poll returns at once
    }

    int m_fd = -1;
    std::string m_slavePath;
};

}  // namespace tqm::test
