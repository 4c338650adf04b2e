#include "serial/state_frame_rules.h"

#include "protocol/trx_state.h"

namespace tqm {

std::int32_t StateFrameRules::menuCount() const { return Trx_StateGuard().get(StateField::MenuCount); }

std::int32_t StateFrameRules::menuParameterLength(std::int32_t n) const {
    return Trx_StateGuard().menuParameterLength(n);
}

std::int32_t StateFrameRules::menuFormatCode(std::int32_t n) const { return Trx_StateGuard().menuFormatCode(n); }

std::int32_t StateFrameRules::modelCode() const { return Trx_StateGuard().get(StateField::ModelCode); }

}  // namespace tqm
