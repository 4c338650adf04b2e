#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/sio_queue.h"
#include "platform/thread_directory.h"
#include "platform/timer_service.h"
#include "platform/worker_thread.h"
#include "protocol/link_flags.h"
#include "protocol/trx_state.h"
#include "serial/port_map.h"
#include "serial/sio_port.h"
#include "tests/serial/pty_peer.h"
#include "tests/support/child_process.h"
#include "tests/support/recording_window.h"

namespace tqm::test {

// Stands in for the reply-analysis thread: takes one reply from the receive queue
// per UWM_ANL_REPLY and keeps it.
class ReplyCollector final : public MappedWorkerThread<ReplyCollector> {
public:
    ReplyCollector() : MappedWorkerThread("test-replies") {}

    std::vector<std::string> replies() const {
        std::lock_guard lock(m_mutex);
        return m_replies;
    }
    bool waitFor(std::size_t count, std::chrono::milliseconds timeout = std::chrono::milliseconds(5000)) const {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [&] { return m_replies.size() >= count; });
    }

private:
    void onReply(const Message&) {
        std::array<char, 512> text{};
        const std::int16_t length = SioReceiveQueue().pop(text.data());
        {
            std::lock_guard lock(m_mutex);
            m_replies.emplace_back(text.data(), length > 0 ? static_cast<std::size_t>(length) : 0);
        }
        m_changed.notify_all();
    }

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::vector<std::string> m_replies;

public:
    static constexpr MessageMapEntry s_messageMap[] = {
        {UWM_THREAD_QUIT, &ReplyCollector::quit},
        {UWM_ANL_REPLY, &ReplyCollector::onReply},
    };
};

// A clean engine side for serial tests: state with the menu list ready, COM1 mapped
// to a fresh pseudo-terminal, a recording main window and a reply collector.
class SerialLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        Trx_StateGuard::setMenuLoaderStart(nullptr);
        Trx_StateGuard().initialise();
        Trx_StateGuard().setMenuListReady(1);
        Trx_ShadowGuard().resetForTest();
        LinkFlags().reset();
        Sio_Port().initialise();
        PortMap().reset();
        SioSendQueue().reset();
        SioReceiveQueue().reset();
        ASSERT_TRUE(m_peer->valid());
        ASSERT_TRUE(PortMap().setOverride(1, m_peer->slavePath()));
        m_collector = std::make_shared<ReplyCollector>();
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
    std::shared_ptr<ReplyCollector> m_collector;
};

}  // namespace tqm::test
