#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/sio_queue.h"
#include "platform/worker_thread.h"
#include "protocol/protocol_messages.h"

namespace tqm::test {

// Stands in for the worker that empties one of the serial queues (the send thread,
// on UWM_SIO_SEND, or the reply analysis, on UWM_ANL_REPLY): on each message it pops
// one entry and keeps it with the time it was taken.
class QueueDrain final : public MappedWorkerThread<QueueDrain> {
public:
    using Clock = std::chrono::steady_clock;
    enum class Queue { Send, Receive };
    struct Taken {
        std::string bytes;
        Clock::time_point at;
    };

    explicit QueueDrain(Queue queue) : MappedWorkerThread("test-drain"), m_queue(queue) {}

    std::vector<Taken> taken() const {
        std::lock_guard lock(m_mutex);
        return m_taken;
    }
    std::vector<std::string> texts() const {
        std::vector<std::string> out;
        for (const Taken& t : taken()) out.push_back(t.bytes);
        return out;
    }
    // Blocks up to timeout until at least n entries were taken.
    bool waitCount(std::size_t n, std::chrono::milliseconds timeout = std::chrono::milliseconds(5000)) const {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [&] { return m_taken.size() >= n; });
    }

private:
    void onMessage(const Message&) {
        char buffer[Sio_Queue::kSlotSize] = {};
        const std::int16_t length =
            m_queue == Queue::Send ? SioSendQueue().pop(buffer) : SioReceiveQueue().pop(buffer);
        {
            std::lock_guard lock(m_mutex);
            m_taken.push_back({std::string(buffer, length > 0 ? static_cast<std::size_t>(length) : 0), Clock::now()});
        }
        m_changed.notify_all();
    }

    Queue m_queue;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::vector<Taken> m_taken;

public:
    static constexpr MessageMapEntry s_messageMap[] = {
        {UWM_SIO_SEND, &QueueDrain::onMessage},
        {UWM_ANL_REPLY, &QueueDrain::onMessage},
        {UWM_THREAD_QUIT, &QueueDrain::quit},
    };
};

}  // namespace tqm::test
