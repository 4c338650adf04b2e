#pragma once

#include "serial/frame_rules.h"

namespace tqm {

// Frame rules read from the process-wide transceiver state.
class StateFrameRules final : public FrameRules {
public:
    std::int32_t menuCount() const override;
    std::int32_t menuParameterLength(std::int32_t n) const override;
    std::int32_t menuFormatCode(std::int32_t n) const override;
    std::int32_t modelCode() const override;
};

}  // namespace tqm
