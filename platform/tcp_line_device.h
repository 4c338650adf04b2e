#pragma once

#include <string>

#include "platform/line_device.h"
#include "platform/socket_stream.h"

namespace tqm {

// tcp://HOST:PORT: the serial port of a server (ser2net's tcp accepter, any
// TCP-to-serial bridge) as a plain byte stream. The server keeps its own line
// settings: the speed asked for is not sent, and there are no modem lines.
class TcpLineDevice final : public LineDevice {
public:
    explicit TcpLineDevice(PortTarget target) : m_target(std::move(target)) {}
    ~TcpLineDevice() override { close(); }

    // Blocks up to 2 s on the connect.
    bool open(int baud, SerialFault& fault) override;
    void close() override { m_socket.close(); }
    void abort() override { m_socket.abort(); }
    bool isOpen() const override { return m_socket.isOpen(); }
    const std::string& name() const override { return m_target.text; }

    bool status(SerialStatus& status, SerialFault& fault) override;
    long read(std::uint8_t* destination, std::size_t max, SerialFault& fault) override;
    // Blocks up to 10 ms per byte + 500 ms.
    std::size_t write(const void* bytes, std::size_t length, SerialFault& fault) override;
    bool setRts(bool) override { return isOpen(); }
    int inputDescriptors(int (&descriptors)[2]) const override;

private:
    PortTarget m_target;
    SocketStream m_socket;
};

}  // namespace tqm
