#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/main_window_link.h"
#include "protocol/link_flags.h"
#include "protocol/menu_item_record.h"
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
    Trx_ShadowGuard().reset();
    LinkFlags().reset();
}

// Every bounded member (by StateField index), then every equalizer value: to compare
// the state before and after a reply.
inline std::vector<std::int32_t> stateSnapshot() {
    Trx_StateGuard state;
    std::vector<std::int32_t> values;
    for (int i = 0; i < static_cast<int>(StateField::Count); ++i) values.push_back(state.get(static_cast<StateField>(i)));
    for (int set = 0; set < kPeqSets; ++set) {
        for (int band = 0; band < kPeqBands; ++band) {
            for (int p = 0; p < kPeqParams; ++p) values.push_back(state.getPeq(set, band, static_cast<PeqParam>(p)));
        }
    }
    return values;
}

inline MenuItemRecord menuItem(std::int32_t number, std::int32_t length, std::int32_t format, double value = 0.0) {
    MenuItemRecord item{};
    item.number = number;
    item.parameterLength = length;
    item.formatCode = format;
    item.value = value;
    return item;
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
