#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

#include "platform/line_device.h"
#include "platform/socket_stream.h"
#include "platform/telnet_com_port.h"

namespace tqm {

// rfc2217://HOST:PORT: a serial port on a Telnet server with COM Port Control
// (ser2net's telnet(rfc2217) accepter). Opening sets the far port's speed, 8 data
// bits, no parity, 2 stop bits and RTS/CTS flow control, and checks what the server
// reports back; a server that refuses COM Port Control, or another speed, fails the
// open rather than leaving a line at the wrong speed. RTS is switched on the far port,
// and its line errors and modem lines come back as the status.
class Rfc2217LineDevice final : public LineDevice {
public:
    explicit Rfc2217LineDevice(PortTarget target) : m_target(std::move(target)) {}
    ~Rfc2217LineDevice() override;

    // Blocks up to 2 s on the connect and the negotiation.
    bool open(int baud, SerialFault& fault) override;
    void close() override;
    void abort() override { m_socket.abort(); }
    bool isOpen() const override { return m_socket.isOpen(); }
    const std::string& name() const override { return m_target.text; }

    bool status(SerialStatus& status, SerialFault& fault) override;
    long read(std::uint8_t* destination, std::size_t max, SerialFault& fault) override;
    // Blocks up to 10 ms per byte + 500 ms.
    std::size_t write(const void* bytes, std::size_t length, SerialFault& fault) override;
    // Blocks up to 500 ms on sending the command.
    bool setRts(bool on) override;
    int inputDescriptors(int (&descriptors)[2]) const override;

private:
    bool negotiate(int baud, SocketStream::Clock::time_point deadline, SerialFault& fault);
    bool waitFor(SocketStream::Clock::time_point deadline, const char* what, bool (Rfc2217LineDevice::*done)(),
                 SerialFault& fault);
    bool agreementKnown();
    bool settingsReported();
    bool checkSettings(int baud, SerialFault& fault);
    bool pump(SerialFault& fault);
    bool send(const std::string& bytes, SocketStream::Clock::time_point deadline, SerialFault& fault);
    void noteBuffered();

    PortTarget m_target;
    SocketStream m_socket;
    int m_bufferedEvent = -1;  // readable while decoded bytes wait in m_data
    std::mutex m_inputMutex;   // the decoder and the decoded bytes
    TelnetComPort m_telnet;
    std::string m_data;
    bool m_eventSet = false;
    std::mutex m_outputMutex;  // one sender on the socket at a time
    std::atomic<int> m_rts{-1};
};

}  // namespace tqm
