#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "protocol/protocol_messages.h"
#include "protocol/reply_dispatch.h"
#include "tests/protocol/protocol_fixture.h"
#include "tests/support/recording_window.h"

namespace tqm {
namespace {

// The window matches a read-back to the step that asked for it by the value it names.
TEST(PeReplyAddressTest, ThePeNotificationNamesTheValueOfItsReply) {
    test::resetLinkState();
    test::RecordingWindow window;
    for (const char* reply : {"PE111-03", "PE022015", "PE300004", "RT1"}) dispatchReply(makeReplyRecord(reply));
    std::vector<std::uintptr_t> addresses;
    for (const auto& entry : window.entries()) addresses.push_back(entry.message.wParam);
    EXPECT_EQ(window.ids(), (std::vector<MessageId>{UWM_REPLY_PE, UWM_REPLY_PE, UWM_REPLY_RT}));
    EXPECT_EQ(addresses, (std::vector<std::uintptr_t>{1 + 9 + 3 + 1, 1 + 6 + 2, 0}));
}

}  // namespace
}  // namespace tqm
