#include "platform/tcp_line_device.h"

#include "platform/network_line.h"

namespace tqm {

bool TcpLineDevice::open(int, SerialFault& fault) {
    return m_socket.connect(m_target.host, m_target.port, SocketStream::Clock::now() + kConnectBound, name(), fault);
}

bool TcpLineDevice::status(SerialStatus& status, SerialFault& fault) {
    status = SerialStatus{};
    if (!m_socket.alive(fault)) return false;
    status.inQueue = m_socket.received();
    status.outQueue = m_socket.unsent();
    return true;
}

long TcpLineDevice::read(std::uint8_t* destination, std::size_t max, SerialFault& fault) {
    return m_socket.receive(destination, max, fault);
}

std::size_t TcpLineDevice::write(const void* bytes, std::size_t length, SerialFault& fault) {
    return m_socket.sendAll(bytes, length, writeDeadline(length), fault);
}

int TcpLineDevice::inputDescriptors(int (&descriptors)[2]) const {
    if (!isOpen()) return 0;
    descriptors[0] = m_socket.descriptor();
    return 1;
}

}  // namespace tqm
