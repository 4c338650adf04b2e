#include <vector>

#include <gtest/gtest.h>

#include "platform/thread_directory.h"
#include "protocol/anl_send.h"
#include "tests/protocol/link_event_log.h"
#include "tests/support/recording_window.h"

namespace tqm {
namespace {

using test::toCommandThread;
using Events = std::vector<test::LinkEventLog::Event>;

TEST(AnlSend, EachRequestReachesTheCommandThreadInOrder) {
    test::RecordingWindow window;
    test::LinkEventLog log(window);
    const Anl_Send send;
    EXPECT_TRUE(send.postLinkToggle());
    EXPECT_TRUE(send.postReadStart());
    EXPECT_TRUE(send.postReadStep());
    EXPECT_TRUE(send.postTimersStop());
    EXPECT_TRUE(send.postStandbyStart());
    EXPECT_TRUE(send.postIdCheck());
    EXPECT_TRUE(send.postPoll());
    EXPECT_TRUE(send.postFlush());
    EXPECT_TRUE(send.postRequest(UWM_CMD_POLL, 1, 2));
    EXPECT_EQ(log.events(),
              (Events{toCommandThread(UWM_CMD_LINK_TOGGLE), toCommandThread(UWM_CMD_READ_START),
                      toCommandThread(UWM_CMD_READ_STEP), toCommandThread(UWM_CMD_TIMERS_STOP),
                      toCommandThread(UWM_CMD_STANDBY_START), toCommandThread(UWM_CMD_ID_CHECK),
                      toCommandThread(UWM_CMD_POLL), toCommandThread(UWM_CMD_FLUSH),
                      toCommandThread(UWM_CMD_POLL)}));
    EXPECT_TRUE(window.entries().empty()) << "requests never go to the window";
}

TEST(AnlSend, RequestsFailHarmlesslyWithoutACommandThread) {
    ThreadDirectory().detach(WorkerRole::AnlSend);
    const Anl_Send send;
    EXPECT_FALSE(send.postLinkToggle());
    EXPECT_FALSE(send.postTimersStop());
    EXPECT_FALSE(send.postRequest(UWM_CMD_FLUSH));
}

}  // namespace
}  // namespace tqm
