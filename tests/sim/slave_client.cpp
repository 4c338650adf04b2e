#include "tests/sim/slave_client.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

namespace tqm::test {

SlaveClient::~SlaveClient() {
    if (m_fd >= 0) ::close(m_fd);
}

bool SlaveClient::open(const std::string& path) {
    m_fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios tio{};
    if (m_fd < 0 || ::flock(m_fd, LOCK_EX | LOCK_NB) != 0 || tcgetattr(m_fd, &tio) != 0) return false;
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD | CSTOPB;
    return tcsetattr(m_fd, TCSANOW, &tio) == 0;
}

bool SlaveClient::write(const std::string& bytes) {
    return m_fd >= 0 && ::write(m_fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
}

std::string SlaveClient::readBytes(std::size_t n, Timeout timeout) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + timeout;
    const auto wanted = [&] { return n > 0 ? (m_buffer.size() >= n ? n : 0) : m_buffer.find(';') + 1; };
    while (wanted() == 0 && m_fd >= 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
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

}  // namespace tqm::test
