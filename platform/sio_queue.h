#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace tqm {

// A ring of 2048 slots of up to 511 bytes, one producer side and one consumer side
// with atomic indices. A full ring refuses a push; nothing unread is overwritten.
class Sio_Queue final {
public:
    static constexpr std::size_t kSlots = 2048;
    static constexpr std::size_t kSlotSize = 512;

    Sio_Queue();
    ~Sio_Queue();
    Sio_Queue(const Sio_Queue&) = delete;
    Sio_Queue& operator=(const Sio_Queue&) = delete;

    // Empties the queue. Only while neither side is in use.
    bool reset();
    // Copies an entry in; returns its length, or 0 when it is refused (512 bytes or
    // more, or the ring is full).
    std::int16_t push(std::size_t length, const char* bytes);
    // Blocks up to about 50 ms (sleeping 1 ms between checks) while the queue is
    // empty. Copies the oldest entry into destination (512 bytes, zero-filled by the
    // caller) and returns its length; 0 when still empty; -2 for a null destination.
    std::int16_t pop(char* destination);
    std::size_t size() const;

private:
    struct Storage;
    std::unique_ptr<Storage> m_storage;
};

// Data-less access objects to the two process-wide queues. The send queue has two
// producers (the command thread and the user-interface thread) and the receive queue
// two (the receive thread and the command thread's injected reply): their pushes
// are serialised by a small mutex.
class SioSendQueue final {
public:
    std::int16_t push(std::size_t length, const char* bytes);
    std::int16_t pop(char* destination);
    std::size_t size() const;
    bool reset();
};

class SioReceiveQueue final {
public:
    std::int16_t push(std::size_t length, const char* bytes);
    std::int16_t pop(char* destination);
    std::size_t size() const;
    bool reset();
};

}  // namespace tqm
