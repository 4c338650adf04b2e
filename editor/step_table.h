#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace tqm {

// One step button: the step code it sends, its control id, the parameter it moves,
// the direction, and the value at or beyond which the step is ignored.
struct StepRule {
    int code;
    int buttonId;
    int param;
    std::int32_t delta;
    std::int32_t limit;
};

inline constexpr int kFirstStepCode = 4;

inline constexpr std::array<StepRule, 18> kStepRules = {{
    {4, 1156, 0, +1, 7},     {5, 1155, 0, -1, 0},     {6, 1160, 3, +1, 9},
    {7, 1159, 3, -1, 0},     {8, 1164, 6, +1, 18},    {9, 1163, 6, -1, 0},
    {10, 1157, 1, +1, 10},   {11, 1158, 1, -1, -20},  {12, 1161, 4, +1, 10},
    {13, 1162, 4, -1, -20},  {14, 1165, 7, +1, 10},   {15, 1166, 7, -1, -20},
    {16, 1078, 2, +1, 10},   {17, 1079, 2, -1, 1},    {18, 1091, 5, +1, 10},
    {19, 1092, 5, -1, 1},    {20, 1104, 8, +1, 10},   {21, 1105, 8, -1, 1},
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

}  // namespace tqm
