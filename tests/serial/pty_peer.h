#pragma once

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
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

    // Reads until at least count bytes came or the timeout passed; returns what came.
    std::string readAtLeast(std::size_t count, std::chrono::milliseconds timeout = std::chrono::milliseconds(5000)) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (m_received.size() < count && std::chrono::steady_clock::now() < deadline) {
            if (!readSome()) waitFor(POLLIN, 5);
        }
        return take();
    }

    // Everything that arrives within the window (to show that nothing did).
    std::string readFor(std::chrono::milliseconds window) {
        const auto deadline = std::chrono::steady_clock::now() + window;
        while (std::chrono::steady_clock::now() < deadline) {
            if (!readSome()) waitFor(POLLIN, 5);
        }
        return take();
    }

    void close() {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = -1;
    }

private:
    bool readSome() {
        char buffer[512];
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n <= 0) return false;  // EAGAIN, or EIO while no one holds the slave open
        m_received.append(buffer, static_cast<std::size_t>(n));
        return true;
    }
    void waitFor(short events, int ms) {
        pollfd entry{m_fd, events, 0};
        ::poll(&entry, 1, ms);
        if (entry.revents & POLLHUP) ::usleep(static_cast<useconds_t>(ms) * 1000);  // no slave: poll returns at once
    }
    std::string take() {
        std::string out;
        out.swap(m_received);
        return out;
    }

    int m_fd = -1;
    std::string m_slavePath;
    std::string m_received;
};

}  // namespace tqm::test
