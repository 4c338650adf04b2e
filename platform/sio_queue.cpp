#include "platform/sio_queue.h"

#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

namespace tqm {
namespace {

// Pop waits this long for an entry that was announced but is not visible yet.
constexpr int kPopWaitChecks = 50;
constexpr auto kPopWaitStep = std::chrono::milliseconds(1);

}  // namespace

// Entry k (counted from 0 since the last reset) lives in slot k % kSlots: the write
// index is the slot of the last pushed entry and the read index the slot of the
// next entry to pop; both continue at 0 after slot 2047. The two counters only grow,
// so "empty" (popped == pushed) and "full" (pushed - popped == kSlots) are told apart
// without a flag that both sides write. Only the producer stores m_pushed and only
// the consumer stores m_popped.
struct Sio_Queue::Storage {
    std::atomic<std::uint64_t> pushed{0};
    std::atomic<std::uint64_t> popped{0};
    std::array<std::int16_t, kSlots> lengths{};
    std::array<std::array<char, kSlotSize>, kSlots> slots{};
};

Sio_Queue::Sio_Queue() : m_storage(std::make_unique<Storage>()) {}

Sio_Queue::~Sio_Queue() = default;

bool Sio_Queue::reset() {
    Storage& s = *m_storage;
    s.lengths.fill(0);
    for (auto& slot : s.slots) slot.fill(0);
    s.pushed.store(0, std::memory_order_release);
    s.popped.store(0, std::memory_order_release);
    return true;
}

std::int16_t Sio_Queue::push(std::size_t length, const char* bytes) {
    if (length >= kSlotSize || (length > 0 && bytes == nullptr)) return 0;
    Storage& s = *m_storage;
    const std::uint64_t pushed = s.pushed.load(std::memory_order_relaxed);
    if (pushed - s.popped.load(std::memory_order_acquire) >= kSlots) return 0;  // full: never overwrite
    const std::size_t slot = pushed % kSlots;
    auto& text = s.slots[slot];
    text.fill(0);
    if (length > 0) std::memcpy(text.data(), bytes, length);
    s.lengths[slot] = static_cast<std::int16_t>(length);
    s.pushed.store(pushed + 1, std::memory_order_release);
    return static_cast<std::int16_t>(length);
}

std::int16_t Sio_Queue::pop(char* destination) {
    if (destination == nullptr) return -2;
    Storage& s = *m_storage;
    const std::uint64_t popped = s.popped.load(std::memory_order_relaxed);
    for (int check = 0; s.pushed.load(std::memory_order_acquire) == popped; ++check) {
        if (check >= kPopWaitChecks) return 0;
        std::this_thread::sleep_for(kPopWaitStep);
    }
    const std::size_t slot = popped % kSlots;
    const std::int16_t length = s.lengths[slot];
    std::memcpy(destination, s.slots[slot].data(), static_cast<std::size_t>(length));
    s.slots[slot].fill(0);
    s.lengths[slot] = 0;
    s.popped.store(popped + 1, std::memory_order_release);
    return length;
}

std::size_t Sio_Queue::size() const {
    const std::uint64_t popped = m_storage->popped.load(std::memory_order_acquire);
    return static_cast<std::size_t>(m_storage->pushed.load(std::memory_order_acquire) - popped);
}

namespace {

struct SharedQueue {
    Sio_Queue queue;
    std::mutex pushMutex;  // the producers take turns
};

SharedQueue& sendQueue() {
    static SharedQueue* s_queue = new SharedQueue;  // outlives every worker
    return *s_queue;
}

SharedQueue& receiveQueue() {
    static SharedQueue* s_queue = new SharedQueue;
    return *s_queue;
}

std::int16_t lockedPush(SharedQueue& shared, std::size_t length, const char* bytes) {
    std::lock_guard lock(shared.pushMutex);
    return shared.queue.push(length, bytes);
}

bool lockedReset(SharedQueue& shared) {
    std::lock_guard lock(shared.pushMutex);
    return shared.queue.reset();
}

}  // namespace

std::int16_t SioSendQueue::push(std::size_t length, const char* bytes) { return lockedPush(sendQueue(), length, bytes); }
std::int16_t SioSendQueue::pop(char* destination) { return sendQueue().queue.pop(destination); }
std::size_t SioSendQueue::size() const { return sendQueue().queue.size(); }
bool SioSendQueue::reset() { return lockedReset(sendQueue()); }

std::int16_t SioReceiveQueue::push(std::size_t length, const char* bytes) {
    return lockedPush(receiveQueue(), length, bytes);
}
std::int16_t SioReceiveQueue::pop(char* destination) { return receiveQueue().queue.pop(destination); }
std::size_t SioReceiveQueue::size() const { return receiveQueue().queue.size(); }
bool SioReceiveQueue::reset() { return lockedReset(receiveQueue()); }

}  // namespace tqm
