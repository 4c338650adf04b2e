#pragma once

#include <cstdint>
#include <string_view>

#include "protocol/reply_record.h"

namespace tqm {

// The classes of characters a reply field may hold.
enum class CharClass : std::uint8_t {
    Digit,  // "0".."9"
    Hex,    // "0".."9", "A".."F", "a".."f"
};

// The value of one character of the class, or -1 when it is not of the class.
constexpr int charValue(char c, CharClass cls) {
    if (c >= '0' && c <= '9') return c - '0';
    if (cls == CharClass::Hex) {
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    }
    return -1;
}

// The width characters from pos, most significant first. False (value untouched)
// unless every one is of the class; a zero byte past the end of a short reply is not.
constexpr bool readNumber(const ReplyRecord& record, int pos, int width, CharClass cls,
                          std::int32_t& value) {
    const std::int32_t base = cls == CharClass::Hex ? 16 : 10;
    std::int32_t result = 0;
    for (int i = 0; i < width; ++i) {
        const int digit = charValue(record[static_cast<std::size_t>(pos + i)], cls);
        if (digit < 0) return false;
        result = result * base + digit;
    }
    value = result;
    return true;
}

// The decimal number formed by the digits among positions first..last; every other
// character is skipped, so the result is 0 when there is no digit at all.
constexpr std::int32_t digitsAmong(const ReplyRecord& record, int first, int last) {
    std::int32_t result = 0;
    for (int pos = first; pos <= last; ++pos) {
        const int digit = charValue(record[static_cast<std::size_t>(pos)], CharClass::Digit);
        if (digit >= 0) result = result * 10 + digit;
    }
    return result;
}

// True when positions pos.. hold exactly the characters of text.
constexpr bool matchesAt(const ReplyRecord& record, int pos, std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (record[static_cast<std::size_t>(pos) + i] != text[i]) return false;
    }
    return true;
}

// Every parser refuses a zero (or negative) length and a missing record before it
// reads anything.
constexpr bool isParsable(std::int32_t replyLen, const ReplyRecord* record) {
    return replyLen > 0 && record != nullptr;
}

// A record holding text (at most 511 characters are taken), zero behind it.
constexpr ReplyRecord makeReplyRecord(std::string_view text) {
    ReplyRecord record{};
    for (std::size_t i = 0; i < text.size() && i + 1 < kRecordSize; ++i) record.bytes[i] = text[i];
    return record;
}

}  // namespace tqm
