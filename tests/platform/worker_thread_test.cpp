#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/worker_thread.h"
#include "tests/support/child_process.h"

namespace tqm {
namespace {

using namespace std::chrono_literals;
using Seen = std::vector<std::pair<MessageId, std::uintptr_t>>;

constexpr MessageId kA = 0x9001;
constexpr MessageId kB = 0x9002;
constexpr MessageId kBlock = 0x9003;

class RecordingThread final : public MappedWorkerThread<RecordingThread> {
public:
    RecordingThread() : MappedWorkerThread("test-rec") {}

    Seen seen() {
        std::lock_guard lock(m_mutex);
        return m_seen;
    }
    bool waitSeen(std::size_t n) { return test::waitUntil([&] { return seen().size() >= n; }, 5s); }

    std::atomic<bool> released{false};

private:
    void record(const Message& m) {
        std::lock_guard lock(m_mutex);
        m_seen.emplace_back(m.id, m.wParam);
    }
    void onBlock(const Message& m) {
        record(m);
        while (!released) std::this_thread::sleep_for(5ms);
    }

    std::mutex m_mutex;
    Seen m_seen;

public:
    static constexpr MessageMapEntry s_messageMap[] = {
        {UWM_THREAD_QUIT, &RecordingThread::quit},
        {kA, &RecordingThread::record},
        {kB, &RecordingThread::record},
        {kBlock, &RecordingThread::onBlock},
    };
};

TEST(WorkerThread, HandlesMappedMessagesInPostOrderUntilAQuit) {
    auto thread = std::make_shared<RecordingThread>();
    EXPECT_FALSE(thread->post(kA)) << "no queue before start";
    ASSERT_TRUE(thread->start());
    EXPECT_FALSE(thread->start());
    Seen expected;
    for (std::uintptr_t i = 0; i < 100; ++i) {
        expected.emplace_back(i % 2 ? kA : kB, i);
        ASSERT_TRUE(thread->post(expected.back().first, i));
        ASSERT_TRUE(thread->post(0x9999, i));  // not in the map
    }
    std::vector<std::thread> posters;  // and from several threads at once
    for (int p = 0; p < 4; ++p) {
        posters.emplace_back([&] {
            for (int i = 0; i < 250; ++i) thread->post(kA, 1000);
        });
    }
    for (auto& t : posters) t.join();
    ASSERT_TRUE(thread->waitSeen(1100));
    thread->post(UWM_THREAD_QUIT);
    thread->post(kA, 2000);
    EXPECT_TRUE(test::waitUntil([&] { return !thread->isAlive(); }, 5s));
    Seen seen = thread->seen();
    EXPECT_EQ(seen.size(), 1100u) << "nothing after the quit";
    seen.resize(100);
    EXPECT_EQ(seen, expected);
    EXPECT_FALSE(thread->post(kA)) << "an ended thread takes no messages";
    EXPECT_TRUE(thread->stop());
}

TEST(WorkerThread, BoundedStopGivesUpOnAThreadThatIgnoresQuit) {
    auto thread = std::make_shared<RecordingThread>();
    ASSERT_TRUE(thread->start());
    thread->post(kBlock);
    ASSERT_TRUE(thread->waitSeen(1));
    const auto begin = std::chrono::steady_clock::now();
    EXPECT_FALSE(thread->stop(4, 20ms));
    EXPECT_GE(std::chrono::steady_clock::now() - begin, 60ms) << "three pauses between four posts";
    EXPECT_TRUE(thread->isAlive());
    EXPECT_EQ(thread->pendingCount(), 4u) << "one quit per post";

    // An abandoned thread outlives its owner's reference and ends cleanly later.
    std::weak_ptr<RecordingThread> weak = thread;
    thread->released = true;
    thread.reset();
    EXPECT_TRUE(test::waitUntil([&] { return weak.expired(); }, 5s));
}

}  // namespace
}  // namespace tqm
