#include "platform/socket_stream.h"

#include <fcntl.h>
#include <linux/sockios.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pthread.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

namespace tqm {
namespace {

using Clock = SocketStream::Clock;

// Keep-alive: probe after 10 s of silence, every 5 s, give up after 3 unanswered.
constexpr int kKeepIdleSeconds = 10;
constexpr int kKeepIntervalSeconds = 5;
constexpr int kKeepCount = 3;
// Data the far end has not acknowledged for this long ends the connection.
constexpr unsigned kUserTimeoutMs = 20000;
// Writes wait in slices this long, so that an abort is seen soon.
constexpr int kWaitSliceMs = 10;

struct NetworkWords {
    int error;
    SerialError code;
    const char* text;  // nullptr: the code's own words
};

// The words for a connection that failed, or ended while in use.
constexpr NetworkWords kNetworkWords[] = {
    {ECONNREFUSED, SerialError::ConnectionRefused, nullptr},
    {EHOSTUNREACH, SerialError::Unreachable, nullptr},
    {ENETUNREACH, SerialError::Unreachable, "network unreachable. Check the network and the address"},
    {ETIMEDOUT, SerialError::LineFault, "timed out: the server stopped answering"},
    {ECONNRESET, SerialError::LineFault, "connection reset by the server"},
    {EPIPE, SerialError::LineFault, "connection reset by the server"},
    {0, SerialError::LineFault, "the server closed the connection"},
};

int remaining(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, 1 << 30));
}

// A name lookup that may be abandoned: the lookup thread owns its half and frees the
// result when the waiter has gone.
struct Lookup {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    int status = EAI_AGAIN;
    addrinfo* result = nullptr;
    ~Lookup() {
        if (result != nullptr) ::freeaddrinfo(result);
    }
};

// Blocks until the deadline at most. EAI_AGAIN when the lookup did not finish in time.
int resolve(const std::string& host, std::uint16_t port, Clock::time_point deadline, std::shared_ptr<Lookup>& out) {
    out = std::make_shared<Lookup>();
    const std::string service = std::to_string(port);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
    // An address needs no name server: answered at once.
    if (::getaddrinfo(host.c_str(), service.c_str(), &hints, &out->result) == 0) return 0;
    out->result = nullptr;
    std::thread([lookup = out, host, service] {
        pthread_setname_np(pthread_self(), "tqm-resolve");
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_flags = AI_NUMERICSERV;
        addrinfo* result = nullptr;
        const int status = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &result);
        std::lock_guard lock(lookup->mutex);
        lookup->status = status;
        lookup->result = status == 0 ? result : nullptr;
        lookup->finished = true;
        lookup->done.notify_all();
    }).detach();
    std::unique_lock lock(out->mutex);
    if (!out->done.wait_until(lock, deadline, [&] { return out->finished; })) return EAI_AGAIN;
    return out->status;
}

void setOption(int fd, int level, int name, int value) { ::setsockopt(fd, level, name, &value, sizeof value); }

// One address, until the deadline. 0 when connected, else the error.
int connectOne(const addrinfo& address, Clock::time_point deadline, int& fd) {
    fd = ::socket(address.ai_family, address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, address.ai_protocol);
    if (fd < 0) return errno;
    setOption(fd, IPPROTO_TCP, TCP_NODELAY, 1);
    setOption(fd, SOL_SOCKET, SO_KEEPALIVE, 1);
    setOption(fd, IPPROTO_TCP, TCP_KEEPIDLE, kKeepIdleSeconds);
    setOption(fd, IPPROTO_TCP, TCP_KEEPINTVL, kKeepIntervalSeconds);
    setOption(fd, IPPROTO_TCP, TCP_KEEPCNT, kKeepCount);
    setOption(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, static_cast<int>(kUserTimeoutMs));
    int error = 0;
    if (::connect(fd, address.ai_addr, address.ai_addrlen) != 0) {
        error = errno;
        if (error == EINPROGRESS) {
            pollfd entry{fd, POLLOUT, 0};
            int ready = 0;
            do {
                ready = ::poll(&entry, 1, remaining(deadline));
            } while (ready < 0 && errno == EINTR);
            socklen_t length = sizeof error;
            if (ready <= 0) {
                error = ETIMEDOUT;
            } else if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) {
                error = errno;
            }
        }
    }
    if (error != 0) {
        ::close(fd);
        fd = -1;
    }
    return error;
}

// Of several failed addresses, the one that says most: a time-out over a refusal
// over anything else.
int worse(int kept, int error) {
    constexpr int kOrder[] = {ETIMEDOUT, ECONNREFUSED, EHOSTUNREACH, ENETUNREACH};
    for (int each : kOrder) {
        if (kept == each || error == each) return each;
    }
    return error;
}

}  // namespace

SocketStream::~SocketStream() { close(); }

void SocketStream::fault(SerialFault& fault, int error, bool connecting) const {
    const auto* row = std::find_if(std::begin(kNetworkWords), std::end(kNetworkWords),
                                   [error](const NetworkWords& w) { return w.error == error; });
    if (row == std::end(kNetworkWords)) {
        fillFault(fault, connecting ? SerialError::Other : SerialError::LineFault, error, m_name);
        fault.reason = m_name + ": " + std::strerror(error);
        return;
    }
    fillFault(fault, connecting ? row->code : SerialError::LineFault, error, m_name);
    if (row->text != nullptr) fault.reason = m_name + ": " + row->text;
}

bool SocketStream::connect(const std::string& host, std::uint16_t port, Clock::time_point deadline,
                           const std::string& name, SerialFault& fault) {
    close();
    m_name = name;
    std::shared_ptr<Lookup> lookup;
    const int status = resolve(host, port, deadline, lookup);
    if (status != 0) {
        const bool late = status == EAI_AGAIN && Clock::now() >= deadline;
        fillFault(fault, late ? SerialError::ConnectTimedOut : SerialError::HostNotFound, 0, name);
        if (status == EAI_SYSTEM) fault.reason += std::string(" (") + std::strerror(errno) + ")";
        return false;
    }
    int error = ETIMEDOUT;
    int kept = 0;
    for (const addrinfo* address = lookup->result; address != nullptr; address = address->ai_next) {
        error = connectOne(*address, deadline, m_fd);
        if (error == 0) break;
        kept = worse(kept, error);
        if (Clock::now() >= deadline) break;
    }
    if (m_fd < 0) {
        if (kept == ETIMEDOUT) {
            fillFault(fault, SerialError::ConnectTimedOut, kept, name);
        } else {
            this->fault(fault, kept, true);
        }
        return false;
    }
    m_aborted.store(false, std::memory_order_release);
    return true;
}

void SocketStream::abort() {
    if (m_fd < 0 || m_aborted.exchange(true, std::memory_order_acq_rel)) return;
    ::shutdown(m_fd, SHUT_RDWR);  // waits on the descriptor see the end
}

void SocketStream::close() {
    if (m_fd < 0) return;
    abort();
    ::close(m_fd);
    m_fd = -1;
}

std::uint32_t SocketStream::received() const {
    int count = 0;
    if (::ioctl(m_fd, FIONREAD, &count) != 0) return 0;
    return static_cast<std::uint32_t>(std::max(count, 0));
}

std::uint32_t SocketStream::unsent() const {
    int count = 0;
    if (::ioctl(m_fd, SIOCOUTQ, &count) != 0) return 0;
    return static_cast<std::uint32_t>(std::max(count, 0));
}

bool SocketStream::alive(SerialFault& fault) const {
    if (!isOpen()) {
        fillFault(fault, SerialError::NotOpen, 0, m_name);
        return false;
    }
    pollfd entry{m_fd, POLLIN | POLLRDHUP, 0};
    if (::poll(&entry, 1, 0) <= 0) return true;
    if (entry.revents & POLLERR) {
        int error = 0;
        socklen_t length = sizeof error;
        ::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &length);
        this->fault(fault, error != 0 ? error : ECONNRESET);
        return false;
    }
    // An end of stream counts once everything before it has been read.
    if ((entry.revents & (POLLHUP | POLLRDHUP)) != 0 && received() == 0) {
        this->fault(fault, 0);
        return false;
    }
    return true;
}

long SocketStream::receive(std::uint8_t* destination, std::size_t max, SerialFault& fault) {
    if (!isOpen()) {
        fillFault(fault, SerialError::NotOpen, 0, m_name);
        return -1;
    }
    if (max == 0) return 0;
    const ssize_t n = ::recv(m_fd, destination, max, MSG_DONTWAIT);
    if (n > 0) return static_cast<long>(n);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return 0;
    this->fault(fault, n == 0 ? 0 : errno);
    return -1;
}

std::size_t SocketStream::sendAll(const void* bytes, std::size_t length, Clock::time_point deadline, SerialFault& fault) {
    const auto* data = static_cast<const std::uint8_t*>(bytes);
    std::size_t sent = 0;
    while (sent < length) {
        if (!isOpen()) {
            fillFault(fault, SerialError::NotOpen, 0, m_name);
            return sent;
        }
        const ssize_t n = ::send(m_fd, data + sent, length - sent, MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            this->fault(fault, errno);
            return sent;
        }
        const int left = remaining(deadline);
        if (left <= 0) {
            fillFault(fault, SerialError::TimedOut, 0, m_name);
            return sent;
        }
        pollfd entry{m_fd, POLLOUT, 0};
        ::poll(&entry, 1, std::min(left, kWaitSliceMs));
    }
    return sent;
}

bool SocketStream::waitReadable(Clock::time_point deadline) const {
    pollfd entry{m_fd, POLLIN, 0};
    int ready = 0;
    do {
        ready = ::poll(&entry, 1, remaining(deadline));
    } while (ready < 0 && errno == EINTR);
    return ready > 0;
}

}  // namespace tqm
