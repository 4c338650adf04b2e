#include <array>
#include <string>

#include <gtest/gtest.h>

#include "platform/sio_queue.h"

namespace tqm {
namespace {

// Pops one entry as a C string, so that stale bytes from a longer entry in the same slot would show.
std::string popText(Sio_Queue& queue) {
    std::array<char, Sio_Queue::kSlotSize> buffer{};
    const std::int16_t length = queue.pop(buffer.data());
    const std::string text = length > 0 ? buffer.data() : "";
    EXPECT_EQ(static_cast<int>(text.size()), length > 0 ? length : 0);
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

}  // namespace
}  // namespace tqm
