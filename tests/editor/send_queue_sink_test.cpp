#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "editor/send_queue_sink.h"
#include "platform/thread_directory.h"

namespace tqm {
namespace {

// Stands in for the command thread: counts the flush requests it is posted.
class FlushCounter final : public MappedWorkerThread<FlushCounter> {
public:
    FlushCounter() : MappedWorkerThread("test-flush") {}

    bool waitFlushes(int n) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(5), [&] { return m_flushes >= n; });
    }
    int flushes() {
        std::lock_guard lock(m_mutex);
        return m_flushes;
    }

private:
    void onFlush(const Message&) {
        {
            std::lock_guard lock(m_mutex);
            ++m_flushes;
        }
        m_changed.notify_all();
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_flushes = 0;

public:
    static constexpr MessageMapEntry s_messageMap[] = {
        {UWM_THREAD_QUIT, &FlushCounter::quit},
        {UWM_CMD_FLUSH, &FlushCounter::onFlush},
    };
};

std::vector<std::string> s_queued;
bool s_accept = true;

bool recordPush(const char* bytes, std::size_t length) {
    if (s_accept) {
        s_queued.emplace_back(bytes, length);
    }
    return s_accept;
}

class SendQueueSinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        s_queued.clear();
        s_accept = true;
        ASSERT_TRUE(ThreadDirectory().startAs(WorkerRole::AnlSend, counter));
    }
    void TearDown() override {
        SendQueueSink::setPushHook(nullptr);
        EXPECT_TRUE(ThreadDirectory().stop(WorkerRole::AnlSend, 52, std::chrono::milliseconds(100)));
        ThreadDirectory().detach(WorkerRole::AnlSend);
    }

    std::shared_ptr<FlushCounter> counter = std::make_shared<FlushCounter>();
    SendQueueSink sink;
};

TEST_F(SendQueueSinkTest, PushesThenAsksTheCommandThreadToFlush) {
    SendQueueSink::setPushHook(&recordPush);
    ASSERT_TRUE(sink.pushCommand("PE001+01;", 9));
    ASSERT_TRUE(sink.pushCommand("PE001;", 6));
    EXPECT_EQ(s_queued, (std::vector<std::string>{"PE001+01;", "PE001;"}));
    EXPECT_TRUE(counter->waitFlushes(2));
}

TEST_F(SendQueueSinkTest, ARefusedOrImpossiblePushPostsNothing) {
    EXPECT_FALSE(sink.pushCommand("PE000;", 6)) << "no queue installed";
    SendQueueSink::setPushHook(&recordPush);
    s_accept = false;
    EXPECT_FALSE(sink.pushCommand("PE000;", 6));
    s_accept = true;
    ASSERT_TRUE(sink.pushCommand("PE222;", 6));
    // The quit message queues behind every flush posted so far.
    ASSERT_TRUE(ThreadDirectory().stop(WorkerRole::AnlSend, 52, std::chrono::milliseconds(100)));
    EXPECT_EQ(counter->flushes(), 1);
    EXPECT_EQ(s_queued, std::vector<std::string>{"PE222;"});
}

}  // namespace
}  // namespace tqm
