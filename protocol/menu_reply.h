#pragma once

#include "protocol/reply_record.h"

namespace tqm {

// The "EX" reply: "EX", a three-digit menu number, the value characters in the
// width of the item's parameter length. Stores the value in menu record n when it
// differs from the current one; true when it stored (the caller then notifies the
// main window). Replies for records outside 1..menuCount, items without a width and
// unchanged values change nothing.
bool applyMenuReply(const ReplyRecord& record);

}  // namespace tqm
