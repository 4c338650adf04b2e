#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "platform/sio_queue.h"
#include "platform/thread_directory.h"
#include "platform/timer_service.h"
#include "protocol/link_flags.h"
#include "protocol/trx_state.h"
#include "serial/port_map.h"
#include "serial/sio_port.h"
#include "tests/serial/pty_peer.h"
#include "tests/support/child_process.h"
#include "tests/support/queue_drain.h"
#include "tests/support/recording_window.h"

namespace tqm::test {

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
        ASSERT_TRUE(m_peer->valid());
        ASSERT_TRUE(PortMap().setOverride(1, m_peer->slavePath()));
        m_collector = std::make_shared<QueueDrain>(QueueDrain::Queue::Receive);
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

    static bool eventually(const std::function<bool()>& condition) {
        return waitUntil(condition, std::chrono::milliseconds(5000));
    }

    RecordingWindow m_window;
    std::unique_ptr<PtyPeer> m_peer = std::make_unique<PtyPeer>();
    std::shared_ptr<QueueDrain> m_collector;  // stands in for the reply analysis
};

}  // namespace tqm::test
