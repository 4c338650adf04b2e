#include "platform/decimal_int.h"

#include <gtest/gtest.h>

namespace tqm {
namespace {

TEST(DecimalIntTest, ReadsLikeAtoiButRefusesWhatDoesNotFitInThirtyTwoBits) {
    struct Case {
        const char* text;
        bool inRange;
        std::int32_t value;
        std::size_t end;
    };
    constexpr Case kCases[] = {
        {"4800", true, 4800, 4},
        {" \t-20,", true, -20, 5},
        {"+7x", true, 7, 2},
        {"", true, 0, 0},
        {"  ", true, 0, 0},
        {"-", true, 0, 0},
        {"x12", true, 0, 0},
        {"- 5", true, 0, 0},
        {"2147483647", true, 2147483647, 10},
        {"-2147483648", true, -2147483647 - 1, 11},
        {"000000000000000000000000000005", true, 5, 30},
        {"2147483648", false, 0, 10},
        {"-2147483649", false, 0, 11},
        {"4294967301", false, 0, 10},
        {"99999999999999999999999999999", false, 0, 29},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.text);
        const DecimalInt number = readDecimalInt(std::string_view(c.text));
        EXPECT_EQ(number.inRange, c.inRange);
        EXPECT_EQ(number.value, c.value);
        EXPECT_EQ(number.end, c.end);
        std::int32_t cell = -1;
        EXPECT_EQ(readDecimalInt(c.text, cell), c.inRange);
        EXPECT_EQ(cell, c.value);
    }
}

}  // namespace
}  // namespace tqm
