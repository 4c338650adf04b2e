#pragma once

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>

namespace tqm::test {

// The program's end of the simulated line with nothing but POSIX calls: the slave
// device opened raw, non-blocking and locked as the program locks its port (a program
// of another test process that retries a recycled terminal number finds it busy).
class SlaveClient final {
public:
    using Timeout = std::chrono::milliseconds;
    SlaveClient() = default;
    ~SlaveClient() {
        if (m_fd >= 0) ::close(m_fd);
    }
    SlaveClient(const SlaveClient&) = delete;
    SlaveClient& operator=(const SlaveClient&) = delete;

    bool open(const std::string& path) {
        m_fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        termios tio{};
        if (m_fd < 0 || ::flock(m_fd, LOCK_EX | LOCK_NB) != 0 || tcgetattr(m_fd, &tio) != 0) return false;
        cfmakeraw(&tio);
        tio.c_cflag |= CLOCAL | CREAD | CSTOPB;
        return tcsetattr(m_fd, TCSANOW, &tio) == 0;
    }
    bool write(const std::string& bytes) {
        return m_fd >= 0 && ::write(m_fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }
    // Blocks until n bytes have arrived (n == 0: one reply, up to and including the next
    // ";") or the timeout passes; returns them, or what came so far.
    std::string readBytes(std::size_t n, Timeout timeout = Timeout(2000)) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        const auto wanted = [&] { return n > 0 ? (m_buffer.size() >= n ? n : 0) : m_buffer.find(';') + 1; };
        while (wanted() == 0 && m_fd >= 0) {
            const auto left = std::chrono::duration_cast<Timeout>(deadline - std::chrono::steady_clock::now()).count();
            pollfd fd{m_fd, POLLIN, 0};
            if (left <= 0 || ::poll(&fd, 1, static_cast<int>(left) + 1) < 0) break;
            char chunk[256];
            const ssize_t got = ::read(m_fd, chunk, sizeof chunk);
            if (got > 0) m_buffer.append(chunk, static_cast<std::size_t>(got));
            if (got == 0 || (got < 0 && errno != EAGAIN)) break;
        }
        const std::size_t count = wanted() > 0 ? wanted() : m_buffer.size();
        std::string taken = m_buffer.substr(0, count);
        m_buffer.erase(0, count);
        return taken;
    }
    std::string readReply(Timeout timeout = Timeout(2000)) { return readBytes(0, timeout); }
    std::string ask(const std::string& command, Timeout timeout = Timeout(2000)) {
        return write(command) ? readReply(timeout) : std::string();
    }

private:
    int m_fd = -1;
    std::string m_buffer;
};

}  // namespace tqm::test
