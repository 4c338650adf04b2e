#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

#include <termios.h>

namespace tqm {

// What went wrong on a serial device, in terms the operator can act on.
enum class SerialError : std::uint8_t {
    None,
    NotFound,          // no such device (not plugged in, wrong path)
    Busy,              // held by another program (or another handle of ours)
    PermissionDenied,  // the user may not open it (dialout group)
    NotATty,           // the path is not a serial device
    BadSpeed,          // a line speed the device does not offer
    LineFault,         // the device went away or hung up while in use
    TimedOut,          // a write did not complete within its bound
    NotOpen,           // the device is closed (or being closed)
    Other,
};

// One failure: its code, the system error number (0 when none) and words for the operator.
struct SerialFault {
    SerialError code = SerialError::None;
    int osError = 0;
    std::string reason;
};

// Line errors since the previous status call, as a bit mask.
inline constexpr std::uint32_t kLineErrorRxOver = 0x0001;   // input buffer overflow
inline constexpr std::uint32_t kLineErrorOverrun = 0x0002;  // character overrun
inline constexpr std::uint32_t kLineErrorParity = 0x0004;
inline constexpr std::uint32_t kLineErrorFrame = 0x0008;
inline constexpr std::uint32_t kLineErrorBreak = 0x0010;
inline constexpr std::uint32_t kLineErrorTxFull = 0x0100;
inline constexpr std::uint32_t kLineErrorIo = 0x0400;
inline constexpr std::uint32_t kLineErrorMode = 0x8000;

// Reasons the output waits, as a bit mask.
inline constexpr std::uint32_t kHoldCts = 0x01;   // output waits for CTS
inline constexpr std::uint32_t kHoldDsr = 0x02;   // output waits for DSR
inline constexpr std::uint32_t kHoldRlsd = 0x04;  // output waits for DCD
inline constexpr std::uint32_t kHoldXoff = 0x08;  // XOFF received
inline constexpr std::uint32_t kHoldXoffSent = 0x10;
inline constexpr std::uint32_t kHoldEof = 0x20;
inline constexpr std::uint32_t kHoldTxim = 0x40;  // an immediate character waits

// The line as one status call sees it. Devices that cannot tell (pseudo-terminals
// have no modem lines and no error counters) report those parts as clear.
struct SerialStatus {
    std::uint32_t inQueue = 0;   // bytes received and not yet read
    std::uint32_t outQueue = 0;  // bytes written and not yet sent
    std::uint32_t holds = 0;     // kHold* bits
    std::uint32_t errors = 0;    // kLineError* bits since the previous status call
    bool cts = false;            // modem lines, when the device has them
    bool dsr = false;
    bool dcd = false;
};

// Words for an error code (no device path).
const char* serialErrorText(SerialError code);

// A serial device on POSIX termios: exclusive (flock + TIOCEXCL), raw, 8 data bits,
// no parity, 2 stop bits, RTS/CTS output flow control, RTS driven by hand.
// Reads never block; writes wait at most 10 ms per byte + 500 ms. The device is
// handed back as it was found: its settings and RTS restored, exclusive use released.
//
// Once open, status, read, write and setRts may be called from two threads at once;
// abort() from any thread makes the calls under way return soon and later ones fail.
// The descriptor is closed by close() or the destructor, never under a running call.
class SerialDevice final {
public:
    SerialDevice() = default;
    ~SerialDevice();
    SerialDevice(const SerialDevice&) = delete;
    SerialDevice& operator=(const SerialDevice&) = delete;

    // Opens and configures the device at the given speed. False with the fault filled in.
    bool open(const std::string& path, int baud, SerialFault& fault);
    // Restores the device as it was found at open and closes it.
    void close();
    // Restores the device and makes every later call fail with NotOpen; the descriptor
    // stays until close() or destruction, so calls under way never see it reused.
    void abort();
    bool isOpen() const { return m_fd >= 0 && !m_aborted.load(std::memory_order_acquire); }
    const std::string& path() const { return m_path; }

    // Queued counts, holds, modem lines and line errors. False on a line fault.
    bool status(SerialStatus& status, SerialFault& fault);
    // Reads up to max bytes that are already queued; never blocks. -1 on a fault.
    long read(std::uint8_t* destination, std::size_t max, SerialFault& fault);
    // Blocks up to 10 ms per byte + 500 ms until everything is handed to the driver.
    // Returns the bytes written; fewer than length with the fault filled in.
    std::size_t write(const void* bytes, std::size_t length, SerialFault& fault);
    // Raises or drops RTS. A device without modem lines ignores it.
    bool setRts(bool on);

private:
    bool configure(int baud, SerialFault& fault);
    bool readErrorCounters(std::uint32_t& errors);
    void handBack();
    bool hungUp() const;

    int m_fd = -1;
    // What open found, for handBack(): the settings, whether RTS was up (-1 unknown),
    // and whether this handle made the device exclusive.
    termios m_foundSettings{};
    bool m_haveFoundSettings = false;
    int m_foundRts = -1;
    bool m_madeExclusive = false;
    std::string m_path;
    std::atomic<bool> m_aborted{false};
    std::atomic<bool> m_modemLines{true};    // false once the device said it has none
    std::atomic<bool> m_errorCounters{true};
    std::atomic<int> m_rts{-1};              // last RTS state set; -1 unknown
    std::mutex m_countersMutex;              // the counter baseline, shared by two threads
    std::uint32_t m_counters[5] = {};
};

}  // namespace tqm
