#include <algorithm>
#include <array>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/sio_queue.h"

namespace tqm {
namespace {

// Pops one entry as a C string, so that stale bytes from a longer entry in the same slot would show.
std::string popText(Sio_Queue& queue) {
    std::array<char, Sio_Queue::kSlotSize> buffer{};
    const std::int16_t length = queue.pop(buffer.data());
    const std::string text = length > 0 ? buffer.data() : "";
    EXPECT_EQ(text.size(), static_cast<std::size_t>(std::max<std::int16_t>(length, 0)));
    return text;
}

std::int16_t pushText(Sio_Queue& queue, const std::string& text) { return queue.push(text.size(), text.data()); }

TEST(SioQueue, KeepsOrderReusesSlotsAndRefusesWhatDoesNotFit) {
    Sio_Queue queue;
    ASSERT_TRUE(queue.reset());
    const std::string tooLong(512, 'A');
    EXPECT_EQ(queue.push(tooLong.size(), tooLong.data()), 0) << "512 bytes";
    EXPECT_EQ(queue.push(511, tooLong.data()), 511) << "511 bytes fit";
    ASSERT_EQ(popText(queue).size(), 511u);
    // Laps of the ring; the first puts a short entry in the slot that held 511 bytes.
    for (int lap = 0; lap < 3; ++lap) {
        for (std::size_t i = 0; i < Sio_Queue::kSlots; ++i) ASSERT_GT(pushText(queue, std::to_string(i)), 0);
        EXPECT_EQ(pushText(queue, "LOST"), 0) << "a full ring refuses";
        EXPECT_EQ(popText(queue), "0") << "nothing was overwritten";
        EXPECT_GT(pushText(queue, "N"), 0) << "room again after a pop";
        for (std::size_t i = 1; i < Sio_Queue::kSlots; ++i) ASSERT_EQ(popText(queue), std::to_string(i));
        EXPECT_EQ(popText(queue), "N");
    }
    EXPECT_EQ(queue.size(), 0u);
}

TEST(SioQueue, TheSharedQueuesTakePushesFromTwoProducers) {
    SioSendQueue queue;
    ASSERT_TRUE(queue.reset());
    constexpr int kPerProducer = 800;
    auto produce = [&](char tag) {
        for (int i = 0; i < kPerProducer; ++i) {
            const std::string text = std::string(1, tag) + std::to_string(i);
            while (queue.push(text.size(), text.data()) == 0) std::this_thread::yield();
        }
    };
    std::thread first(produce, 'A');
    std::thread second(produce, 'B');
    std::vector<int> next(2, 0);
    bool inOrder = true;
    for (int received = 0; received < 2 * kPerProducer;) {
        std::array<char, Sio_Queue::kSlotSize> buffer{};
        if (queue.pop(buffer.data()) <= 0) continue;
        const int producer = buffer[0] == 'A' ? 0 : 1;
        inOrder = inOrder && std::stoi(buffer.data() + 1) == next[producer];
        ++next[producer];
        ++received;
    }
    first.join();
    second.join();
    EXPECT_TRUE(inOrder) << "each producer's entries keep their order and none is torn";
    EXPECT_EQ(next[0], kPerProducer);
    EXPECT_EQ(next[1], kPerProducer);
    EXPECT_TRUE(SioReceiveQueue().reset());
}

}  // namespace
}  // namespace tqm
