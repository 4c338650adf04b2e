#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/worker_thread.h"
#include "tests/support/child_process.h"

namespace tqm {
namespace {

constexpr MessageId MSG_A = 0x9001;
constexpr MessageId MSG_B = 0x9002;
constexpr MessageId MSG_BLOCK = 0x9003;

class RecordingThread final : public MappedWorkerThread<RecordingThread> {
public:
    RecordingThread() : MappedWorkerThread("test-rec") {}

    std::vector<std::pair<MessageId, std::uintptr_t>> seen() {
        std::lock_guard lock(m_mutex);
        return m_seen;
    }
    bool waitSeen(std::size_t n) {
        std::unique_lock lock(m_mutex);
        return m_cv.wait_for(lock, std::chrono::seconds(5), [&] { return m_seen.size() >= n; });
    }
    void release() { m_release.store(true); }

private:
    void onA(const Message& m) { record(m); }
    void onB(const Message& m) { record(m); }
    void onBlock(const Message& m) {
        record(m);
        while (!m_release.load()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    void record(const Message& m) {
        {
            std::lock_guard lock(m_mutex);
            m_seen.emplace_back(m.id, m.wParam);
        }
        m_cv.notify_all();
    }

    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::vector<std::pair<MessageId, std::uintptr_t>> m_seen;
    std::atomic<bool> m_release{false};

public:
    static constexpr MessageMapEntry s_messageMap[] = {
        {UWM_THREAD_QUIT, &RecordingThread::quit},
        {MSG_A, &RecordingThread::onA},
        {MSG_B, &RecordingThread::onB},
        {MSG_BLOCK, &RecordingThread::onBlock},
    };
};

TEST(WorkerThread, HandlesMessagesInPostOrderAndDropsUnmapped) {
    auto thread = std::make_shared<RecordingThread>();
    EXPECT_FALSE(thread->post(MSG_A)) << "no queue before start";
    ASSERT_TRUE(thread->start());
    EXPECT_FALSE(thread->start());
    for (std::uintptr_t i = 0; i < 100; ++i) {
        ASSERT_TRUE(thread->post(i % 2 ? MSG_A : MSG_B, i));
        ASSERT_TRUE(thread->post(0x9999, i));  // not in the map
    }
    ASSERT_TRUE(thread->waitSeen(100));
    auto seen = thread->seen();
    ASSERT_EQ(seen.size(), 100u);
    for (std::uintptr_t i = 0; i < 100; ++i) {
        EXPECT_EQ(seen[i].first, i % 2 ? MSG_A : MSG_B);
        EXPECT_EQ(seen[i].second, i);
    }
    EXPECT_TRUE(thread->stop());
    EXPECT_FALSE(thread->isAlive());
    EXPECT_FALSE(thread->post(MSG_A)) << "an ended thread takes no messages";
}

TEST(WorkerThread, PostsFromManyThreadsAllArrive) {
    auto thread = std::make_shared<RecordingThread>();
    ASSERT_TRUE(thread->start());
    std::vector<std::thread> posters;
    for (int p = 0; p < 4; ++p) {
        posters.emplace_back([&] {
            for (int i = 0; i < 250; ++i) thread->post(MSG_A);
        });
    }
    for (auto& t : posters) t.join();
    ASSERT_TRUE(thread->waitSeen(1000));
    EXPECT_TRUE(thread->stop());
}

TEST(WorkerThread, QuitEndsTheThreadAfterEarlierMessages) {
    auto thread = std::make_shared<RecordingThread>();
    ASSERT_TRUE(thread->start());
    thread->post(MSG_A, 1);
    thread->post(UWM_THREAD_QUIT);
    thread->post(MSG_A, 2);
    EXPECT_TRUE(test::waitUntil([&] { return !thread->isAlive(); }, std::chrono::seconds(5)));
    EXPECT_EQ(thread->seen(), (std::vector<std::pair<MessageId, std::uintptr_t>>{{MSG_A, 1}}));
}

TEST(WorkerThread, BoundedStopGivesUpOnAThreadThatIgnoresQuit) {
    auto thread = std::make_shared<RecordingThread>();
    ASSERT_TRUE(thread->start());
    thread->post(MSG_BLOCK);
    ASSERT_TRUE(thread->waitSeen(1));
    const auto begin = std::chrono::steady_clock::now();
    EXPECT_FALSE(thread->stop(52, std::chrono::milliseconds(100)));
    const auto waited = std::chrono::steady_clock::now() - begin;
    // 51 pauses of 100 ms between 52 posts; generous upper bound for a loaded machine.
    EXPECT_GE(waited, std::chrono::milliseconds(5000));
    EXPECT_LT(waited, std::chrono::milliseconds(30000));
    EXPECT_TRUE(thread->isAlive());
    EXPECT_EQ(thread->pendingCount(), 52u) << "one quit per post";

    // An abandoned thread outlives its owner's reference and ends cleanly later.
    std::weak_ptr<RecordingThread> weak = thread;
    thread->release();
    thread.reset();
    EXPECT_TRUE(test::waitUntil([&] { return weak.expired(); }, std::chrono::seconds(5)));
}

}  // namespace
}  // namespace tqm
