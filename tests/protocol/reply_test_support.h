#pragma once

#include <string_view>

#include "platform/main_window_link.h"
#include "protocol/link_flags.h"
#include "protocol/reply_fields.h"
#include "protocol/reply_parser.h"
#include "protocol/reply_table.h"
#include "protocol/trx_state.h"

namespace tqm::test {

// A clean transceiver picture: state initialised without a menu loader, shadow and
// link flags cleared.
inline void resetLinkState() {
    Trx_StateGuard::setMenuLoaderStart(nullptr);
    Trx_StateGuard().initialise();
    Trx_ShadowGuard().resetForTest();
    LinkFlags().reset();
}

// Runs the parser of the reply's letters with its reply-table length, as the reply
// analysis does; false when the letters have no parser.
inline bool parseReply(std::string_view text) {
    const ReplyRecord record = makeReplyRecord(text);
    const int row = findReplyRow(record[0], record[1]);
    const ReplyParser parser = replyParserFor(record[0], record[1]);
    return row >= 0 && parser != nullptr && parser(kReplyTable[static_cast<std::size_t>(row)].replyLen, &record);
}

// parseReply followed, on success, by the row's notification to the main window:
// what one dispatch of the reply analysis does.
inline bool parseAndNotify(std::string_view text) {
    if (!parseReply(text)) return false;
    const int row = findReplyRow(text[0], text[1]);
    MainWindowLink().post(kReplyTable[static_cast<std::size_t>(row)].notifyMsg);
    return true;
}

}  // namespace tqm::test
