#pragma once

#include <cstdint>

#include "protocol/reply_record.h"

namespace tqm {

// A reply parser: takes the reply table's length for its command and the record;
// false when the reply is malformed (nothing stored), true when well formed,
// whether or not its values were within their bounds.
using ReplyParser = bool (*)(std::int32_t replyLen, const ReplyRecord* record);

// The parser for a command's letters; null for a command whose replies are
// recognised and dropped ("CW") or unknown letters.
ReplyParser replyParserFor(char first, char second);

}  // namespace tqm
