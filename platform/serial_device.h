#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

#include <termios.h>

#include "platform/line_device.h"

namespace tqm {

// A serial device on POSIX termios: exclusive (flock + TIOCEXCL), raw, 8 data bits,
// no parity, 2 stop bits, RTS/CTS output flow control, RTS driven by hand.
// Reads never block; writes wait at most 10 ms per byte + 500 ms. The device is
// handed back as it was found: its settings and RTS restored, exclusive use released.
//
// abort() restores the device at once; the descriptor stays until close() or
// destruction, so calls under way never see it reused.
class SerialDevice final : public LineDevice {
public:
    explicit SerialDevice(std::string path = {}) : m_path(std::move(path)) {}
    ~SerialDevice() override;

    // Opens and configures the device at the path given at construction.
    bool open(int baud, SerialFault& fault) override;
    // Opens and configures the device at the given path and speed.
    bool open(const std::string& path, int baud, SerialFault& fault);
    // Restores the device as it was found at open and closes it.
    void close() override;
    void abort() override;
    bool isOpen() const override { return m_fd >= 0 && !m_aborted.load(std::memory_order_acquire); }
    const std::string& name() const override { return m_path; }
    const std::string& path() const { return m_path; }

    bool status(SerialStatus& status, SerialFault& fault) override;
    long read(std::uint8_t* destination, std::size_t max, SerialFault& fault) override;
    // Blocks up to 10 ms per byte + 500 ms until everything is handed to the driver.
    std::size_t write(const void* bytes, std::size_t length, SerialFault& fault) override;
    bool setRts(bool on) override;
    int inputDescriptors(int (&descriptors)[2]) const override;

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
