#pragma once

#include <cstdint>

#include "protocol/reply_record.h"

namespace tqm {

// The replies with rules of their own. Each refuses a zero length or a missing
// record, opens one state guard for its run and returns whether the reply was well
// formed (values outside a member's range are dropped by the setters).

// "RM": the digits among positions 3-5 (others skipped) into rm; always true.
bool parseRmReply(std::int32_t replyLen, const ReplyRecord* record);
// "IS": 4-digit number at 4, signed by "+" or "-" at 3, into is.
bool parseIsReply(std::int32_t replyLen, const ReplyRecord* record);
// "KM": digit 1..5 at 2 picks km1..km5; the 50 characters from 3 are its text.
bool parseKmReply(std::int32_t replyLen, const ReplyRecord* record);
// "RI": digit 0..4 at 2 picks ri1..ri5; a hex digit at 3 is stored there; always true.
bool parseRiReply(std::int32_t replyLen, const ReplyRecord* record);
// "BG": digit 0..2 at 2 says which of bg1, bg2, bg3 the 2-digit number at 3 feeds.
bool parseBgReply(std::int32_t replyLen, const ReplyRecord* record);
// "IF" and "OI": the information layout into if1..if9 / oi1..oi9.
bool parseIfReply(std::int32_t replyLen, const ReplyRecord* record);
bool parseOiReply(std::int32_t replyLen, const ReplyRecord* record);
// "PB" and "LM": nothing to store; true.
bool parseEmptyReply(std::int32_t replyLen, const ReplyRecord* record);

}  // namespace tqm
