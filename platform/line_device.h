#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/port_target.h"

namespace tqm {

// What went wrong on a line, in terms the operator can act on.
enum class SerialError : std::uint8_t {
    None,
    NotFound,          // no such device (not plugged in, wrong path)
    Busy,              // held by another program (or another handle of ours)
    PermissionDenied,  // the user may not open it (dialout group)
    NotATty,           // the path is not a serial device
    BadSpeed,          // a line speed the device does not offer
    LineFault,         // the device went away, hung up, or the connection ended while in use
    TimedOut,          // a write did not complete within its bound
    NotOpen,           // the device is closed (or being closed)
    Unusable,          // the port map entry cannot be used
    ConnectionRefused, // nothing listens at the host's port
    HostNotFound,      // the host name does not resolve
    Unreachable,       // no route to the host or its network
    ConnectTimedOut,   // no answer within the connect bound
    ComPortRefused,    // the server does not offer COM Port Control (RFC 2217)
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

// The line as one status call sees it. Lines that cannot tell (pseudo-terminals and
// raw network streams have no modem lines and no error counters) report those parts
// as clear.
struct SerialStatus {
    std::uint32_t inQueue = 0;   // bytes received and not yet read
    std::uint32_t outQueue = 0;  // bytes written and not yet sent
    std::uint32_t holds = 0;     // kHold* bits
    std::uint32_t errors = 0;    // kLineError* bits since the previous status call
    bool cts = false;            // modem lines, when the line has them
    bool dsr = false;
    bool dcd = false;
};

// Words for an error code (no device named).
const char* serialErrorText(SerialError code);
// The fault filled in: the code, the error number and "NAME: words".
void fillFault(SerialFault& fault, SerialError code, int osError, const std::string& name);

// The line to the transceiver: a local serial device or a serial port on the network.
// Every kind opens at the given speed with 8 data bits, no parity, 2 stop bits and
// RTS/CTS output flow control, never blocks on a read, bounds its writes, and reports
// a line that went away as a LineFault.
//
// Once open, status, read, write and setRts may be called from two threads at once;
// abort() from any thread makes the calls under way return soon and later ones fail.
// Descriptors are released by close() or the destructor, never under a running call.
class LineDevice {
public:
    virtual ~LineDevice() = default;
    LineDevice() = default;
    LineDevice(const LineDevice&) = delete;
    LineDevice& operator=(const LineDevice&) = delete;

    // Blocks up to the kind's bound (a network connect: 2 s). False with the fault filled in.
    virtual bool open(int baud, SerialFault& fault) = 0;
    // Hands the line back as it was found, where the kind can, and releases it.
    virtual void close() = 0;
    // Makes every later call fail with NotOpen; descriptors stay until close().
    virtual void abort() = 0;
    virtual bool isOpen() const = 0;
    // The device path or the network target, for messages.
    virtual const std::string& name() const = 0;

    // Queued counts, holds, modem lines and line errors. False on a line fault.
    virtual bool status(SerialStatus& status, SerialFault& fault) = 0;
    // Reads up to max bytes that are already queued; never blocks. -1 on a fault.
    virtual long read(std::uint8_t* destination, std::size_t max, SerialFault& fault) = 0;
    // Blocks up to 10 ms per byte + 500 ms until everything is handed on. Returns the
    // bytes written; fewer than length with the fault filled in.
    virtual std::size_t write(const void* bytes, std::size_t length, SerialFault& fault) = 0;
    // Raises or drops RTS. A line without modem lines ignores it.
    virtual bool setRts(bool on) = 0;

    // Descriptors that poll readable when there may be something for status() or
    // read() to find: received bytes, a line state change, a fault. Returns how many
    // of the two places it filled (0 when closed).
    virtual int inputDescriptors(int (&descriptors)[2]) const = 0;
};

// A closed line of the target's kind.
std::shared_ptr<LineDevice> makeLineDevice(const PortTarget& target);

}  // namespace tqm
