#pragma once

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "platform/sio_queue.h"
#include "platform/thread_directory.h"
#include "protocol/link_flags.h"
#include "protocol/trx_state.h"
#include "serial/port_map.h"
#include "serial/sio_port.h"
#include "tests/support/child_process.h"
#include "tests/support/queue_drain.h"
#include "tests/support/recording_window.h"

namespace tqm::test {

// The far end of a pseudo-terminal: the program opens slavePath() as its serial
// device; the test writes the transceiver's bytes here and reads what the program sent.
class PtyPeer final {
public:
    PtyPeer() : m_fd(::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {
        char name[128] = {};
        if (m_fd >= 0 && ::grantpt(m_fd) == 0 && ::unlockpt(m_fd) == 0 && ::ptsname_r(m_fd, name, sizeof name) == 0)
            m_slavePath = name;
        else
            close();
    }
    ~PtyPeer() { close(); }
    PtyPeer(const PtyPeer&) = delete;
    PtyPeer& operator=(const PtyPeer&) = delete;

    bool valid() const { return m_fd >= 0; }
    const std::string& slavePath() const { return m_slavePath; }
    bool write(std::string_view bytes) { return ::write(m_fd, bytes.data(), bytes.size()) == ssize_t(bytes.size()); }

    // Blocks until at least count bytes came or the timeout passed; returns what came.
    std::string readAtLeast(std::size_t count, std::chrono::milliseconds timeout = std::chrono::milliseconds(5000)) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        std::string received;
        while (received.size() < count && std::chrono::steady_clock::now() < deadline) {
            char buffer[512];
            const ssize_t n = ::read(m_fd, buffer, sizeof buffer);  // EAGAIN, or EIO with no slave open
            if (n > 0) received.append(buffer, static_cast<std::size_t>(n));
            pollfd entry{m_fd, POLLIN, 0};
            if (n <= 0 && ::poll(&entry, 1, 5) > 0 && (entry.revents & POLLHUP)) ::usleep(5000);  // no slave open
        }
        return received;
    }
    // Blocks for the whole window; returns everything that arrived (to show that nothing did).
    std::string readFor(std::chrono::milliseconds window) { return readAtLeast(SIZE_MAX, window); }

    void close() {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd = -1;
    std::string m_slavePath;
};

// A clean engine side for serial tests: state with the menu list ready, COM1 mapped
// to a fresh pseudo-terminal, a recording main window and a reply collector.
class SerialLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        Trx_StateGuard::setMenuLoaderStart(nullptr);
        Trx_StateGuard().initialise();
        Trx_StateGuard().setMenuListReady(1);
        Trx_ShadowGuard().reset();
        LinkFlags().reset();
        Sio_Port().initialise();
        PortMap().reset();
        SioSendQueue().reset();
        SioReceiveQueue().reset();
        replacePeer();
        ASSERT_TRUE(ThreadDirectory().startAs(WorkerRole::AnlRecv, m_collector));
    }
    void TearDown() override {
        Sio_Port().close();
        ThreadDirectory().stop(WorkerRole::AnlRecv);
        ThreadDirectory().detach(WorkerRole::AnlRecv);
        PortMap().reset();
        Sio_Port().initialise();
    }

    // A fresh far end mapped to COM1 (the old one is closed).
    void replacePeer() {
        m_peer = std::make_unique<PtyPeer>();
        ASSERT_TRUE(m_peer->valid());
        ASSERT_TRUE(PortMap().setOverride(1, m_peer->slavePath()));
    }

    RecordingWindow m_window;
    std::unique_ptr<PtyPeer> m_peer;
    std::shared_ptr<QueueDrain> m_collector = std::make_shared<QueueDrain>(QueueDrain::Queue::Receive);
};

}  // namespace tqm::test
