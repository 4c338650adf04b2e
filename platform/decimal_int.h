#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tqm {

// The leading decimal number of a text, read the way the C library's atoi reads it
// (leading blanks skipped, an optional sign, digits up to the first other character,
// a text without digits is 0), but checked: a number that does not fit in a signed
// 32-bit integer is out of range instead of wrapping.
struct DecimalInt {
    std::int32_t value = 0;  // 0 when out of range
    bool inRange = true;
    bool hasDigits = false;
    std::size_t end = 0;  // characters taken (blanks, sign and digits); 0 without digits
};

DecimalInt readDecimalInt(std::string_view text);

// The number of a file cell; false when it does not fit in 32 bits (value is then 0).
bool readDecimalInt(const char* text, std::int32_t& value);

}  // namespace tqm
