#include "platform/rfc2217_line_device.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/network_line.h"

namespace tqm {
namespace {

using Clock = SocketStream::Clock;
using Telnet = TelnetComPort;

// Decoded bytes beyond this wait in the socket until they are read.
constexpr std::size_t kMaxBuffered = 16384;
// Line errors and modem lines the server is asked to report.
constexpr std::uint8_t kLineStateMask = 0x1E;   // overrun, parity, framing, break
constexpr std::uint8_t kModemStateMask = 0xB0;  // CTS, DSR, DCD
constexpr std::uint8_t kModemCts = 0x10;
constexpr std::uint8_t kModemDsr = 0x20;
constexpr std::uint8_t kModemDcd = 0x80;
constexpr int kDataBits = 8;
constexpr std::chrono::milliseconds kControlBound{500};

// The settings the server must report back, with what they must be (0: the speed).
struct SettingRow {
    Telnet::Command command;
    std::uint32_t expected;
};
constexpr SettingRow kSettings[] = {
    {Telnet::kSetBaudRate, 0},
    {Telnet::kSetDataSize, kDataBits},
    {Telnet::kSetParity, Telnet::kParityNone},
    {Telnet::kSetStopSize, Telnet::kTwoStopBits},
};

}  // namespace

Rfc2217LineDevice::~Rfc2217LineDevice() { close(); }

bool Rfc2217LineDevice::open(int baud, SerialFault& fault) {
    close();
    const Clock::time_point deadline = Clock::now() + kConnectBound;
    if (!m_socket.connect(m_target.host, m_target.port, deadline, name(), fault)) return false;
    m_bufferedEvent = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    m_telnet = TelnetComPort();
    m_data.clear();
    m_eventSet = false;
    m_rts.store(-1, std::memory_order_relaxed);
    if (m_bufferedEvent < 0 || !negotiate(baud, deadline, fault)) {
        if (m_bufferedEvent < 0) fillFault(fault, SerialError::Other, errno, name());
        close();
        return false;
    }
    return true;
}

bool Rfc2217LineDevice::negotiate(int baud, Clock::time_point deadline, SerialFault& fault) {
    if (!send(m_telnet.offer(), deadline, fault) ||
        !waitFor(deadline, "the COM Port Control offer", &Rfc2217LineDevice::agreementKnown, fault)) {
        return false;
    }
    if (m_telnet.comPort() != Telnet::Agreement::Accepted) {
        fillFault(fault, SerialError::ComPortRefused, 0, name());
        return false;
    }
    std::string settings = Telnet::setBaudRate(static_cast<std::uint32_t>(baud));
    settings += Telnet::setByte(Telnet::kSetDataSize, kDataBits);
    settings += Telnet::setByte(Telnet::kSetParity, Telnet::kParityNone);
    settings += Telnet::setByte(Telnet::kSetStopSize, Telnet::kTwoStopBits);
    settings += Telnet::setByte(Telnet::kSetControl, Telnet::kControlHardwareFlow);
    settings += Telnet::setByte(Telnet::kSetLineStateMask, kLineStateMask);
    settings += Telnet::setByte(Telnet::kSetModemStateMask, kModemStateMask);
    return send(settings, deadline, fault) &&
           waitFor(deadline, "the line settings", &Rfc2217LineDevice::settingsReported, fault) &&
           checkSettings(baud, fault);
}

// Blocks until the deadline at most, taking in what the server sends, until done holds.
bool Rfc2217LineDevice::waitFor(Clock::time_point deadline, const char* what, bool (Rfc2217LineDevice::*done)(),
                                SerialFault& fault) {
    for (;;) {
        {
            std::lock_guard lock(m_inputMutex);
            if (!pump(fault)) return false;
        }
        if ((this->*done)()) return true;
        if (!m_socket.waitReadable(deadline)) break;
    }
    fillFault(fault, SerialError::ConnectTimedOut, 0, name());
    fault.reason = name() + ": timed out: the server did not answer " + what + " within 2 s";
    return false;
}

bool Rfc2217LineDevice::agreementKnown() {
    std::lock_guard lock(m_inputMutex);
    return m_telnet.comPort() != Telnet::Agreement::Pending;
}

bool Rfc2217LineDevice::settingsReported() {
    std::lock_guard lock(m_inputMutex);
    for (const SettingRow& row : kSettings) {
        if (m_telnet.reported(row.command) == 0) return false;
    }
    return true;
}

bool Rfc2217LineDevice::checkSettings(int baud, SerialFault& fault) {
    std::lock_guard lock(m_inputMutex);
    const std::uint32_t speed = m_telnet.reported(Telnet::kSetBaudRate);
    if (speed != static_cast<std::uint32_t>(baud)) {
        fillFault(fault, SerialError::BadSpeed, 0, name());
        fault.reason = name() + ": the far port does not take " + std::to_string(baud) + " baud (it reports " +
                       std::to_string(speed) + ")";
        return false;
    }
    for (const SettingRow& row : kSettings) {
        if (row.expected != 0 && m_telnet.reported(row.command) != row.expected) {
            fillFault(fault, SerialError::Other, 0, name());
            fault.reason = name() + ": the far port does not take 8 data bits, no parity and 2 stop bits";
            return false;
        }
    }
    return true;
}

void Rfc2217LineDevice::close() {
    m_socket.close();
    if (m_bufferedEvent >= 0) ::close(m_bufferedEvent);
    m_bufferedEvent = -1;
}

// Takes in what the socket holds, as far as the buffer goes; answers the server's
// requests. Under the input lock.
bool Rfc2217LineDevice::pump(SerialFault& fault) {
    std::string answers;
    std::uint8_t chunk[4096];
    while (m_data.size() < kMaxBuffered) {
        const long n = m_socket.receive(chunk, sizeof chunk, fault);
        if (n < 0) return false;
        if (n == 0) break;
        m_telnet.receive(chunk, static_cast<std::size_t>(n), m_data, answers);
    }
    noteBuffered();
    SerialFault ignored;  // a failed answer shows at the next call
    if (!answers.empty()) send(answers, Clock::now() + kControlBound, ignored);
    return true;
}

// Keeps the event readable exactly while decoded bytes wait. Under the input lock.
void Rfc2217LineDevice::noteBuffered() {
    const bool wanted = !m_data.empty();
    if (wanted == m_eventSet) return;
    std::uint64_t value = 1;
    const ssize_t done = wanted ? ::write(m_bufferedEvent, &value, sizeof value)
                                : ::read(m_bufferedEvent, &value, sizeof value);
    if (done == sizeof value) m_eventSet = wanted;
}

bool Rfc2217LineDevice::send(const std::string& bytes, Clock::time_point deadline, SerialFault& fault) {
    std::lock_guard lock(m_outputMutex);
    return m_socket.sendAll(bytes.data(), bytes.size(), deadline, fault) == bytes.size();
}

bool Rfc2217LineDevice::status(SerialStatus& status, SerialFault& fault) {
    status = SerialStatus{};
    std::lock_guard lock(m_inputMutex);
    if (!m_socket.alive(fault) || !pump(fault)) return false;
    status.inQueue = static_cast<std::uint32_t>(m_data.size());
    status.outQueue = m_socket.unsent();
    status.errors = m_telnet.takeLineErrors();
    const int modem = m_telnet.modemState();
    if (modem >= 0) {
        status.cts = (modem & kModemCts) != 0;
        status.dsr = (modem & kModemDsr) != 0;
        status.dcd = (modem & kModemDcd) != 0;
        // Output flow control follows CTS only, as on a local port.
        if (!status.cts) status.holds |= kHoldCts;
    }
    return true;
}

long Rfc2217LineDevice::read(std::uint8_t* destination, std::size_t max, SerialFault& fault) {
    std::lock_guard lock(m_inputMutex);
    if (m_data.empty() && !pump(fault)) return -1;
    const std::size_t count = std::min(max, m_data.size());
    m_data.copy(reinterpret_cast<char*>(destination), count);
    m_data.erase(0, count);
    noteBuffered();
    return static_cast<long>(count);
}

std::size_t Rfc2217LineDevice::write(const void* bytes, std::size_t length, SerialFault& fault) {
    std::string escaped;
    Telnet::escape(bytes, length, escaped);
    std::size_t sent = 0;
    {
        std::lock_guard lock(m_outputMutex);
        sent = m_socket.sendAll(escaped.data(), escaped.size(), writeDeadline(length), fault);
    }
    if (sent == escaped.size()) return length;
    // Count the data bytes that went out whole.
    const auto* data = static_cast<const std::uint8_t*>(bytes);
    std::size_t done = 0;
    for (std::size_t used = 0; done < length; ++done) {
        used += data[done] == Telnet::kIac ? 2 : 1;
        if (used > sent) break;
    }
    return done;
}

bool Rfc2217LineDevice::setRts(bool on) {
    if (!isOpen()) return false;
    const int wanted = on ? 1 : 0;
    if (m_rts.load(std::memory_order_relaxed) == wanted) return true;
    SerialFault fault;
    if (!send(Telnet::setByte(Telnet::kSetControl, on ? Telnet::kControlRtsOn : Telnet::kControlRtsOff),
              Clock::now() + kControlBound, fault)) {
        return false;
    }
    m_rts.store(wanted, std::memory_order_relaxed);
    return true;
}

int Rfc2217LineDevice::inputDescriptors(int (&descriptors)[2]) const {
    if (!isOpen()) return 0;
    descriptors[0] = m_socket.descriptor();
    descriptors[1] = m_bufferedEvent;
    return 2;
}

}  // namespace tqm
