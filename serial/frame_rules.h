#pragma once

#include <cstdint>

namespace tqm {

// What the reply framer needs to know to cut "EX" menu replies: the menu list and
// the identified model. The running program reads the transceiver state; tests,
// fuzzing and benchmarks give fixed answers.
class FrameRules {
public:
    virtual ~FrameRules() = default;
    // Count of valid menu records, numbered 1..menuCount.
    virtual std::int32_t menuCount() const = 0;
    // Characters of item n's value in an "EX" reply.
    virtual std::int32_t menuParameterLength(std::int32_t n) const = 0;
    virtual std::int32_t menuFormatCode(std::int32_t n) const = 0;
    // Non-zero once the transceiver identified itself as the required model.
    virtual std::int32_t modelCode() const = 0;
};

}  // namespace tqm
