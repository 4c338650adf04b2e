#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace tqm {

// One step: the code its button sends, the parameter it moves, the direction, and
// the value at or beyond which the step is ignored.
struct StepRule {
    int code;
    int param;
    std::int32_t delta;
    std::int32_t limit;
};

inline constexpr int kFirstStepCode = 4;

inline constexpr std::array<StepRule, 18> kStepRules = {{
    {4, 0, +1, 7},    {5, 0, -1, 0},     {6, 3, +1, 9},    {7, 3, -1, 0},     {8, 6, +1, 18},   {9, 6, -1, 0},
    {10, 1, +1, 10},  {11, 1, -1, -20},  {12, 4, +1, 10},  {13, 4, -1, -20},  {14, 7, +1, 10},  {15, 7, -1, -20},
    {16, 2, +1, 10},  {17, 2, -1, 1},    {18, 5, +1, 10},  {19, 5, -1, 1},    {20, 8, +1, 10},  {21, 8, -1, 1},
}};

// The rule of a step code 4..21; none for any other code.
constexpr std::optional<StepRule> findStepRule(int code) {
    const int slot = code - kFirstStepCode;
    if (slot < 0 || slot >= static_cast<int>(kStepRules.size())) {
        return std::nullopt;
    }
    return kStepRules[static_cast<std::size_t>(slot)];
}

// True when the rule's limit blocks a step from the value.
constexpr bool stepBlocked(const StepRule& rule, std::int32_t value) {
    return rule.delta > 0 ? value >= rule.limit : value <= rule.limit;
}

// The values a parameter p (0..8) can be stepped to: between the limits of its down
// and up steps.
struct ParamRange {
    std::int32_t minimum;
    std::int32_t maximum;
};

constexpr ParamRange paramRange(int p) {
    ParamRange range{0, 0};
    for (const StepRule& rule : kStepRules) {
        if (rule.param != p) continue;
        (rule.delta > 0 ? range.maximum : range.minimum) = rule.limit;
    }
    return range;
}

}  // namespace tqm
