#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "platform/port_target.h"
#include "platform/rfc2217_line_device.h"
#include "tests/support/child_process.h"

namespace tqm {
namespace {

using namespace std::string_literals;

// Telnet bytes: IAC, and the commands and options the scripts use.
const std::string kIac = "\xFF"s;
const std::string kWillComPort = kIac + "\xFB\x2C"s;
const std::string kDoComPort = kIac + "\xFD\x2C"s;
const std::string kDontComPort = kIac + "\xFE\x2C"s;
std::string sub(const std::string& body) { return kIac + "\xFA\x2C"s + body + kIac + "\xF0"s; }
const std::string kSetSpeed38400 = sub("\x01\x00\x00\x96\x00"s);
std::string settingsReport(const std::string& speed) { return sub("\x65"s + speed) + sub("\x66\x08"s) + sub("\x67\x01"s) + sub("\x68\x02"s); }

// A Telnet server played by a script on a thread of its own: it takes one connection
// on 127.0.0.1 and reads and writes as the script says.
class ScriptedPeer final {
public:
    explicit ScriptedPeer(std::function<void(ScriptedPeer&)> script) {
        sockaddr_in address{.sin_family = AF_INET, .sin_port = 0, .sin_addr = {htonl(INADDR_LOOPBACK)}, .sin_zero = {}};
        socklen_t length = sizeof address;
        ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(m_listener, 1);
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length);
        m_target = parsePortTarget("rfc2217://127.0.0.1:" + std::to_string(ntohs(address.sin_port))).target;
        m_thread = std::thread([this, script] {
            m_connection = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            script(*this);
        });
    }
    ~ScriptedPeer() {
        m_thread.join();
        ::close(m_connection);
        ::close(m_listener);
    }

    const PortTarget& target() const { return m_target; }
    // Blocks up to 5 s until the client has sent these bytes (among others).
    bool await(const std::string& bytes) {
        return test::waitUntil([&] {
            char buffer[256];
            pollfd entry{m_connection, POLLIN, 0};
            const ssize_t n = ::poll(&entry, 1, 10) > 0 ? ::recv(m_connection, buffer, sizeof buffer, 0) : 0;
            std::lock_guard lock(m_mutex);
            if (n > 0) m_received.append(buffer, static_cast<std::size_t>(n));
            return m_received.find(bytes) != std::string::npos;
        }, std::chrono::seconds(5));
    }
    void send(const std::string& bytes) { ::send(m_connection, bytes.data(), bytes.size(), MSG_NOSIGNAL); }
    void hangUp() { ::shutdown(m_connection, SHUT_RDWR); }

private:
    int m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    // Written by the script's thread when the client arrives, read by the test.
    std::atomic<int> m_connection{-1};
    PortTarget m_target;
    std::mutex m_mutex;
    std::string m_received;
    std::thread m_thread;
};

TEST(Rfc2217Line, NegotiatesSetsTheFarPortAndCarriesDataWithItsFFBytesDoubled) {
    ScriptedPeer peer([](ScriptedPeer& p) {
        // Agrees, and asks for two options the client does not do (echo, terminal type).
        ASSERT_TRUE(p.await(kWillComPort));
        p.send(kDoComPort + kIac + "\xFB\x01"s + kIac + "\xFD\x18"s);
        ASSERT_TRUE(p.await(kSetSpeed38400 + sub("\x02\x08"s) + sub("\x03\x01"s) + sub("\x04\x02"s) + sub("\x05\x03"s)));
        p.send(settingsReport("\x00\x00\x96\x00"s) + sub("\x6B\xB0"s));  // CTS, DSR, DCD up
        ASSERT_TRUE(p.await("A\xFF\xFF"s + "B"));
        p.send("X\xFF\xFF"s + "Y" + sub("\x6A\x08"s));  // a framing error
        ASSERT_TRUE(p.await(sub("\x05\x0B"s)));         // RTS on
        p.hangUp();
    });
    Rfc2217LineDevice line(peer.target());
    SerialFault fault;
    ASSERT_TRUE(line.open(38400, fault)) << fault.reason;
    EXPECT_EQ(line.write("A\xFF" "B", 3, fault), 3u);

    SerialStatus status;
    std::uint32_t errors = 0;
    const auto statusUntil = [&](std::function<bool()> done) {  // the line errors gathered on the way
        return test::waitUntil([&] { return line.status(status, fault) && ((errors |= status.errors), done()); },
                               std::chrono::seconds(5));
    };
    ASSERT_TRUE(statusUntil([&] { return status.inQueue == 3; })) << fault.reason;
    std::uint8_t data[8] = {};
    ASSERT_EQ(line.read(data, sizeof data, fault), 3);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data), 3), "X\xFFY"s);
    EXPECT_TRUE(status.cts && status.dsr && status.dcd && status.holds == 0u);
    EXPECT_TRUE(statusUntil([&] { return (errors & kLineErrorFrame) != 0; }));

    EXPECT_TRUE(line.setRts(true));
    EXPECT_TRUE(test::waitUntil([&] { return !line.status(status, fault); }, std::chrono::seconds(5)));
    EXPECT_EQ(fault.code, SerialError::LineFault) << "the end of the connection, as a pulled adapter";
    EXPECT_NE(fault.reason.find("closed the connection"), std::string::npos) << fault.reason;
    EXPECT_TRUE(peer.await(kIac + "\xFE\x01"s) && peer.await(kIac + "\xFC\x18"s)) << "no echo, no terminal type";
}

TEST(Rfc2217Line, AServerThatRefusesOrMisreportsOrKeepsSilentFailsTheOpen) {
    const struct {
        std::function<void(ScriptedPeer&)> script;
        SerialError code;
        const char* words;
    } rows[] = {
        {[](ScriptedPeer& p) { if (p.await(kWillComPort)) p.send(kDontComPort); }, SerialError::ComPortRefused,
         "refused COM Port Control"},
        {[](ScriptedPeer& p) {
             if (p.await(kWillComPort)) p.send(kDoComPort);
             if (p.await(kSetSpeed38400)) p.send(settingsReport("\x00\x00\x25\x80"s));
         },
         SerialError::BadSpeed, "does not take 38400 baud (it reports 9600)"},
        {[](ScriptedPeer& p) { p.await(kWillComPort); }, SerialError::ConnectTimedOut, "timed out"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.words);
        ScriptedPeer peer(row.script);
        Rfc2217LineDevice line(peer.target());
        SerialFault fault;
        EXPECT_FALSE(line.open(38400, fault) || line.isOpen());
        EXPECT_EQ(fault.code, row.code);
        EXPECT_NE(fault.reason.find(row.words), std::string::npos) << fault.reason;
        peer.hangUp();
    }
}

}  // namespace
}  // namespace tqm
