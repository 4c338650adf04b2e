#include "platform/serial_device.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace tqm {
namespace {

using Clock = std::chrono::steady_clock;

struct SpeedRow {
    int baud;
    speed_t speed;
};

constexpr SpeedRow kSpeeds[] = {
    {1200, B1200},   {2400, B2400},   {4800, B4800},     {9600, B9600},
    {19200, B19200}, {38400, B38400}, {57600, B57600},   {115200, B115200},
};

// A device without modem lines or counters answers these; they are not errors.
bool unsupported(int error) { return error == ENOTTY || error == EINVAL; }

// Errors by which a device that was open tells that it is gone.
bool deviceGone(int error) { return error == EIO || error == ENXIO || error == ENODEV || error == EPIPE; }

SerialError openErrorCode(int error) {
    switch (error) {
        case ENOENT:
        case ENODEV:
        case ENXIO:
        case ENOTDIR:
            return SerialError::NotFound;
        case EBUSY:
        case EWOULDBLOCK:
            return SerialError::Busy;
        case EACCES:
        case EPERM:
            return SerialError::PermissionDenied;
        case ENOTTY:
            return SerialError::NotATty;
        default:
            return SerialError::Other;
    }
}

}  // namespace

SerialDevice::~SerialDevice() { close(); }

bool SerialDevice::open(const std::string& path, int baud, SerialFault& fault) {
    close();
    m_path = path;
    return open(baud, fault);
}

bool SerialDevice::open(int baud, SerialFault& fault) {
    close();
    const std::string& path = m_path;
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        fillFault(fault, openErrorCode(errno), errno, path);
        return false;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        fillFault(fault, error == EWOULDBLOCK ? SerialError::Busy : SerialError::Other, error, path);
        return false;
    }
    m_fd = fd;
    m_aborted.store(false, std::memory_order_release);
    m_modemLines.store(true, std::memory_order_relaxed);
    m_errorCounters.store(true, std::memory_order_relaxed);
    m_rts.store(-1, std::memory_order_relaxed);
    m_haveFoundSettings = false;
    m_madeExclusive = false;
    m_foundRts = -1;
    if (!configure(baud, fault)) {
        close();
        return false;
    }
    std::uint32_t ignored = 0;
    readErrorCounters(ignored);  // the baseline for the differences
    return true;
}

bool SerialDevice::configure(int baud, SerialFault& fault) {
    if (::tcgetattr(m_fd, &m_foundSettings) != 0) {
        fillFault(fault, errno == ENOTTY ? SerialError::NotATty : openErrorCode(errno), errno, m_path);
        return false;
    }
    m_haveFoundSettings = true;
    int lines = 0;
    if (::ioctl(m_fd, TIOCMGET, &lines) == 0) m_foundRts = (lines & TIOCM_RTS) != 0 ? 1 : 0;
    int exclusive = 0;
    const bool wasExclusive = ::ioctl(m_fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0;
    if (::ioctl(m_fd, TIOCEXCL) != 0 && !unsupported(errno)) {
        fillFault(fault, openErrorCode(errno), errno, m_path);
        return false;
    }
    m_madeExclusive = !wasExclusive;
    termios tio = m_foundSettings;
    const auto* row = std::find_if(std::begin(kSpeeds), std::end(kSpeeds),
                                   [baud](const SpeedRow& r) { return r.baud == baud; });
    if (row == std::end(kSpeeds)) {
        fillFault(fault, SerialError::BadSpeed, 0, m_path);
        return false;
    }
    ::cfmakeraw(&tio);
    tio.c_cflag &= ~(CSIZE | PARENB | HUPCL);
    tio.c_cflag |= CS8 | CSTOPB | CRTSCTS | CLOCAL | CREAD;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    ::cfsetispeed(&tio, row->speed);
    ::cfsetospeed(&tio, row->speed);
    if (::tcsetattr(m_fd, TCSANOW, &tio) != 0) {
        fillFault(fault, errno == EINVAL ? SerialError::BadSpeed : SerialError::Other, errno, m_path);
        return false;
    }
    return true;
}

// Puts back what open found. Best effort: a device that went away takes nothing.
// TCSANOW, so output held by flow control cannot stall the close.
void SerialDevice::handBack() {
    if (m_haveFoundSettings) ::tcsetattr(m_fd, TCSANOW, &m_foundSettings);
    const int rts = m_rts.load(std::memory_order_relaxed);
    if (m_foundRts >= 0 && rts >= 0 && rts != m_foundRts) {
        int bits = TIOCM_RTS;
        ::ioctl(m_fd, m_foundRts != 0 ? TIOCMBIS : TIOCMBIC, &bits);
    }
    if (m_madeExclusive) ::ioctl(m_fd, TIOCNXCL);
    m_haveFoundSettings = false;
    m_madeExclusive = false;
}

void SerialDevice::abort() {
    if (m_fd < 0 || m_aborted.exchange(true, std::memory_order_acq_rel)) return;
    handBack();
}

void SerialDevice::close() {
    if (m_fd < 0) return;
    abort();
    ::close(m_fd);  // also releases the flock
    m_fd = -1;
}

bool SerialDevice::hungUp() const {
    pollfd entry{m_fd, POLLIN, 0};
    if (::poll(&entry, 1, 0) < 0) return false;
    return (entry.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

bool SerialDevice::readErrorCounters(std::uint32_t& errors) {
    errors = 0;
    if (!m_errorCounters.load(std::memory_order_relaxed)) return true;
    serial_icounter_struct counts{};
    if (::ioctl(m_fd, TIOCGICOUNT, &counts) != 0) {
        if (unsupported(errno)) {
            m_errorCounters.store(false, std::memory_order_relaxed);
            return true;
        }
        return !deviceGone(errno);
    }
    const std::uint32_t now[5] = {static_cast<std::uint32_t>(counts.buf_overrun),
                                  static_cast<std::uint32_t>(counts.overrun),
                                  static_cast<std::uint32_t>(counts.parity),
                                  static_cast<std::uint32_t>(counts.frame),
                                  static_cast<std::uint32_t>(counts.brk)};
    constexpr std::uint32_t kBits[5] = {kLineErrorRxOver, kLineErrorOverrun, kLineErrorParity, kLineErrorFrame,
                                        kLineErrorBreak};
    std::lock_guard lock(m_countersMutex);
    for (int i = 0; i < 5; ++i) {
        if (now[i] != m_counters[i]) errors |= kBits[i];
        m_counters[i] = now[i];
    }
    return true;
}

bool SerialDevice::status(SerialStatus& status, SerialFault& fault) {
    status = SerialStatus{};
    if (!isOpen()) {
        fillFault(fault, SerialError::NotOpen, 0, m_path);
        return false;
    }
    int count = 0;
    if (::ioctl(m_fd, TIOCINQ, &count) == 0) {
        status.inQueue = static_cast<std::uint32_t>(std::max(count, 0));
    } else if (!unsupported(errno)) {
        fillFault(fault, SerialError::LineFault, errno, m_path);
        return false;
    }
    count = 0;
    if (::ioctl(m_fd, TIOCOUTQ, &count) == 0) status.outQueue = static_cast<std::uint32_t>(std::max(count, 0));
    if (m_modemLines.load(std::memory_order_relaxed)) {
        int lines = 0;
        if (::ioctl(m_fd, TIOCMGET, &lines) == 0) {
            status.cts = (lines & TIOCM_CTS) != 0;
            status.dsr = (lines & TIOCM_DSR) != 0;
            status.dcd = (lines & TIOCM_CAR) != 0;
            // Output flow control follows CTS only; DSR and DCD never hold the output.
            if (!status.cts) status.holds |= kHoldCts;
        } else if (unsupported(errno)) {
            m_modemLines.store(false, std::memory_order_relaxed);
        }
    }
    if (!readErrorCounters(status.errors) || hungUp()) {
        fillFault(fault, SerialError::LineFault, EIO, m_path);
        return false;
    }
    return true;
}

long SerialDevice::read(std::uint8_t* destination, std::size_t max, SerialFault& fault) {
    if (!isOpen()) {
        fillFault(fault, SerialError::NotOpen, 0, m_path);
        return -1;
    }
    if (max == 0) return 0;
    const ssize_t n = ::read(m_fd, destination, max);
    if (n > 0) return static_cast<long>(n);
    if (n == 0) {
        // Nothing although bytes were reported: a hang-up shows here.
        if (!hungUp()) return 0;
        fillFault(fault, SerialError::LineFault, 0, m_path);
        return -1;
    }
    if (errno == EAGAIN || errno == EINTR) return 0;
    fillFault(fault, deviceGone(errno) ? SerialError::LineFault : SerialError::Other, errno, m_path);
    return -1;
}

std::size_t SerialDevice::write(const void* bytes, std::size_t length, SerialFault& fault) {
    const auto* data = static_cast<const std::uint8_t*>(bytes);
    const auto deadline = Clock::now() + std::chrono::milliseconds(10 * length + 500);
    std::size_t written = 0;
    while (written < length) {
        if (!isOpen()) {
            fillFault(fault, SerialError::NotOpen, 0, m_path);
            return written;
        }
        const ssize_t n = ::write(m_fd, data + written, length - written);
        if (n > 0) {
            written += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            fillFault(fault, deviceGone(errno) ? SerialError::LineFault : SerialError::Other, errno, m_path);
            return written;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            fillFault(fault, SerialError::TimedOut, 0, m_path);
            return written;
        }
        // Short slices, so an abort from another thread is seen soon.
        pollfd entry{m_fd, POLLOUT, 0};
        ::poll(&entry, 1, static_cast<int>(std::min<long>(left.count(), 10)));
        if (entry.revents & (POLLHUP | POLLERR | POLLNVAL)) {
            fillFault(fault, SerialError::LineFault, 0, m_path);
            return written;
        }
    }
    return written;
}

int SerialDevice::inputDescriptors(int (&descriptors)[2]) const {
    if (!isOpen()) return 0;
    descriptors[0] = m_fd;
    return 1;
}

bool SerialDevice::setRts(bool on) {
    if (!isOpen()) return false;
    const int wanted = on ? 1 : 0;
    if (m_rts.load(std::memory_order_relaxed) == wanted || !m_modemLines.load(std::memory_order_relaxed)) return true;
    int bits = TIOCM_RTS;
    if (::ioctl(m_fd, on ? TIOCMBIS : TIOCMBIC, &bits) != 0) {
        if (!unsupported(errno)) return false;
        m_modemLines.store(false, std::memory_order_relaxed);
        return true;
    }
    m_rts.store(wanted, std::memory_order_relaxed);
    return true;
}

}  // namespace tqm
