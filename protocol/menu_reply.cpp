#include "protocol/menu_reply.h"

#include <stdlib.h>

#include <locale.h>

#include <array>
#include <cstdint>

#include "protocol/menu_item_record.h"
#include "protocol/trx_state.h"

namespace tqm {
namespace {

constexpr std::size_t kValueStart = 5;
// Only the first 13 characters of a bit field carry weight: 4096 >> 12 is 1.
constexpr std::int32_t kBitFieldWidth = 13;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The menu number at positions 2-4, or 0 when they are not three digits.
std::int32_t menuNumber(const ReplyRecord& record) {
    std::int32_t n = 0;
    for (std::size_t i = 2; i < kValueStart; ++i) {
        if (!isDigit(record[i])) return 0;
        n = n * 10 + (record[i] - '0');
    }
    return n;
}

double bitFieldValue(const std::array<char, kRecordSize>& text, std::int32_t width) {
    std::int32_t sum = 0;
    for (std::int32_t i = 0; i < width && i < kBitFieldWidth; ++i) {
        if (text[static_cast<std::size_t>(i)] == '1') sum += 4096 >> i;
    }
    return sum;
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// The length of the plain decimal number at the start of text (leading blanks, an
// optional sign, digits with at most one point), 0 when there is none. Nothing else
// counts: no exponent, no hexadecimal, no "NAN" or "INF".
std::size_t plainDecimalLength(const char* text) {
    std::size_t i = 0;
    while (isBlank(text[i])) ++i;
    if (text[i] == '+' || text[i] == '-') ++i;
    bool digits = false;
    bool point = false;
    for (;; ++i) {
        if (isDigit(text[i])) {
            digits = true;
        } else if (text[i] == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    return digits ? i : 0;
}

// The plain decimal number at the start of the value characters, converted in the
// "C" locale whatever the process locale is (a toolkit that adopts the user's locale
// cannot turn "2.5" into 2); 0 when they do not start with one.
double decimalValue(const std::array<char, kRecordSize>& text) {
    static const locale_t s_cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    std::array<char, kRecordSize> number{};
    const std::size_t length = plainDecimalLength(text.data());
    for (std::size_t i = 0; i < length; ++i) number[i] = text[i];
    return strtod_l(number.data(), nullptr, s_cLocale);
}

}  // namespace

bool applyMenuReply(const ReplyRecord& record) {
    Trx_StateGuard state;
    const std::int32_t n = menuNumber(record);
    if (!state.isValidMenuRecord(n)) return false;
    const std::int32_t width = state.menuParameterLength(n);
    if (width <= 0 || width >= static_cast<std::int32_t>(kRecordSize)) return false;

    std::array<char, kRecordSize> text{};
    for (std::int32_t i = 0; i < width; ++i) text[static_cast<std::size_t>(i)] = record[kValueStart + i];
    const double value = state.menuFormatCode(n) == MENU_FORMAT_BIT_FIELD ? bitFieldValue(text, width)
                                                                          : decimalValue(text);
    double current = 0.0;
    if (!state.readMenuValue(n, current) || value == current) return false;
    return state.writeMenuValue(n, value);
}

}  // namespace tqm
