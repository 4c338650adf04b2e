#include "editor/reply_watchdog.h"

#include "platform/thread_directory.h"
#include "protocol/link_flags.h"
#include "protocol/protocol_messages.h"

namespace tqm {

bool ReplyWatchdog::tick(const PortSnapshot& port) const {
    LinkFlags flags;
    bool lost = false;
    if (flags.replyPending() != 0) {
        flags.setReplyPending(0);
        lost = port.inputQueued == 0;
    } else {
        lost = (port.statusBits & kLineFailedBits) != 0 || !port.open;
    }
    if (lost) ThreadDirectory().post(WorkerRole::AnlRecv, UWM_ANL_LINK_LOST);
    return lost;
}

}  // namespace tqm
