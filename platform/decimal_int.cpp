#include "platform/decimal_int.h"

#include <limits>

namespace tqm {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// One more than the largest magnitude any 32-bit value has: reading stops growing here.
constexpr std::int64_t kMagnitudeCap = static_cast<std::int64_t>(std::numeric_limits<std::int32_t>::max()) + 2;

}  // namespace

DecimalInt readDecimalInt(std::string_view text) {
    DecimalInt result;
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i])) ++i;
    const bool negative = i < text.size() && text[i] == '-';
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
    std::int64_t magnitude = 0;
    for (; i < text.size() && isDigit(text[i]); ++i) {
        result.hasDigits = true;
        if (magnitude < kMagnitudeCap) magnitude = magnitude * 10 + (text[i] - '0');
    }
    if (!result.hasDigits) return result;
    result.end = i;
    const std::int64_t value = negative ? -magnitude : magnitude;
    result.inRange = value >= std::numeric_limits<std::int32_t>::min() && value <= std::numeric_limits<std::int32_t>::max();
    result.value = result.inRange ? static_cast<std::int32_t>(value) : 0;
    return result;
}

bool readDecimalInt(const char* text, std::int32_t& value) {
    const DecimalInt number = readDecimalInt(text == nullptr ? std::string_view() : std::string_view(text));
    value = number.value;
    return number.inRange;
}

}  // namespace tqm
