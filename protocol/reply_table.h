#pragma once

#include <array>
#include <cstdint>

#include "protocol/protocol_messages.h"

namespace tqm {

// One row of the reply table: the command letters (two letters, two zero bytes),
// the notification posted to the main window after a successful parse, and the
// length of the complete reply on the line, letters and ";" included.
struct ReplyTableRow {
    char cmd[4];
    MessageId notifyMsg;
    std::int32_t replyLen;
};

inline constexpr std::size_t kReplyTableRows = 74;

// The reply table, in lookup order.
extern const std::array<ReplyTableRow, kReplyTableRows> kReplyTable;

// Index of the first row whose letters equal the two given ones, or -1.
int findReplyRow(char first, char second);

}  // namespace tqm
