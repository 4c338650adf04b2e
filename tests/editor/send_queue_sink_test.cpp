#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "editor/send_queue_sink.h"
#include "platform/thread_directory.h"
#include "protocol/protocol_messages.h"
#include "tests/support/command_thread_recorder.h"

namespace tqm {
namespace {

std::vector<std::string> s_queued;
bool s_accept = true;

bool recordPush(const char* bytes, std::size_t length) {
    if (s_accept) s_queued.emplace_back(bytes, length);
    return s_accept;
}

class SendQueueSinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        s_queued.clear();
        s_accept = true;
    }
    void TearDown() override { SendQueueSink::setPushHook(nullptr); }

    test::FiledCommandRecorder commandThread;
    SendQueueSink sink;
};

TEST_F(SendQueueSinkTest, PushesThenAsksTheCommandThreadToFlushAndPostsNothingForARefusedPush) {
    EXPECT_FALSE(sink.pushCommand("PE000;", 6)) << "no queue installed";
    SendQueueSink::setPushHook(&recordPush);
    s_accept = false;
    EXPECT_FALSE(sink.pushCommand("PE000;", 6));
    s_accept = true;
    ASSERT_TRUE(sink.pushCommand("PE001+01;", 9));
    ASSERT_TRUE(sink.pushCommand("PE001;", 6));
    EXPECT_EQ(s_queued, (std::vector<std::string>{"PE001+01;", "PE001;"}));
    // Requests arrive in order: once a marker posted last is in, every flush is.
    ASSERT_TRUE(ThreadDirectory().post(WorkerRole::AnlSend, UWM_CMD_POLL));
    ASSERT_TRUE(commandThread->waitFor(UWM_CMD_POLL));
    EXPECT_EQ(commandThread->ids(), (std::vector<MessageId>{UWM_CMD_FLUSH, UWM_CMD_FLUSH, UWM_CMD_POLL}));
}

}  // namespace
}  // namespace tqm
