#include "tests/sim/slave_client.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>

namespace tqm::test {

SlaveClient::~SlaveClient() { close(); }

bool SlaveClient::open(const std::string& path) {
    close();
    m_fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    // Held as the program holds its port: a program in another test process that
    // still retries a terminal number now given to this line finds it busy.
    if (m_fd < 0 || ::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
        close();
        return false;
    }
    termios tio{};
    if (tcgetattr(m_fd, &tio) != 0) {
        close();
        return false;
    }
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD | CSTOPB;
    tcsetattr(m_fd, TCSANOW, &tio);
    return true;
}

void SlaveClient::close() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    m_buffer.clear();
}

bool SlaveClient::write(const std::string& bytes) {
    return m_fd >= 0 && ::write(m_fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
}

std::string SlaveClient::readReply(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::size_t end = m_buffer.find(';');
    while (end == std::string::npos && fill(deadline)) {
        end = m_buffer.find(';');
    }
    const std::size_t take = end == std::string::npos ? m_buffer.size() : end + 1;
    std::string reply = m_buffer.substr(0, take);
    m_buffer.erase(0, take);
    return reply;
}

std::string SlaveClient::readBytes(std::size_t n, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (m_buffer.size() < n && fill(deadline)) {
    }
    const std::size_t take = std::min(n, m_buffer.size());
    std::string bytes = m_buffer.substr(0, take);
    m_buffer.erase(0, take);
    return bytes;
}

std::string SlaveClient::ask(const std::string& command, std::chrono::milliseconds timeout) {
    return write(command) ? readReply(timeout) : std::string();
}

bool SlaveClient::fill(std::chrono::steady_clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (m_fd < 0 || left.count() <= 0) {
        return false;
    }
    pollfd fd{m_fd, POLLIN, 0};
    if (::poll(&fd, 1, static_cast<int>(left.count()) + 1) <= 0) {
        return std::chrono::steady_clock::now() < deadline;
    }
    char chunk[256];
    const ssize_t got = ::read(m_fd, chunk, sizeof chunk);
    if (got > 0) {
        m_buffer.append(chunk, static_cast<std::size_t>(got));
        return true;
    }
    return got < 0 && errno == EAGAIN;
}

}  // namespace tqm::test
