#include "protocol/reply_dispatch.h"

#include "platform/main_window_link.h"
#include "protocol/menu_reply.h"
#include "protocol/pe_command.h"
#include "protocol/protocol_messages.h"
#include "protocol/reply_parser.h"
#include "protocol/reply_table.h"

namespace tqm {
namespace {

bool isMenuReply(const ReplyRecord& record) { return record[0] == 'E' && record[1] == 'X'; }

// The message to post for the reply, or 0 for none.
MessageId analyse(const ReplyRecord& record) {
    if (isMenuReply(record)) return applyMenuReply(record) ? UWM_REPLY_EX : 0;
    const int row = findReplyRow(record[0], record[1]);
    if (row < 0) return 0;
    const ReplyParser parser = replyParserFor(record[0], record[1]);
    if (parser == nullptr) return 0;
    const ReplyTableRow& entry = kReplyTable[static_cast<std::size_t>(row)];
    return parser(entry.replyLen, &record) ? entry.notifyMsg : 0;
}

}  // namespace

bool dispatchReply(const ReplyRecord& record) {
    TimerService timers;
    timers.kill(REPLY_TIMER_ID);
    const MessageId notification = analyse(record);
    if (notification != 0) {
        // A PE notification names the value, so that the window can match the read-back
        // of a step it made.
        const std::uintptr_t wParam = notification == UWM_REPLY_PE ? peReplyAddress(record) : 0;
        MainWindowLink().post(notification, wParam);
    }
    timers.set(REPLY_TIMER_ID, kReplyTimerPeriod);
    return notification != 0;
}

}  // namespace tqm
