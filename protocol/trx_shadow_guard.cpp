#include <atomic>

#include "protocol/trx_state.h"

namespace tqm {
namespace {

// The shadow record: zero at process start, never touched by the initialisation.
constinit std::atomic<std::int32_t> s_autoInfo{0};
constinit std::atomic<std::int32_t> s_powerState{0};

}  // namespace

std::int32_t Trx_ShadowGuard::autoInfo() const { return s_autoInfo.load(std::memory_order_acquire); }
void Trx_ShadowGuard::setAutoInfo(std::int32_t value) { s_autoInfo.store(value, std::memory_order_release); }
std::int32_t Trx_ShadowGuard::powerState() const { return s_powerState.load(std::memory_order_acquire); }
void Trx_ShadowGuard::setPowerState(std::int32_t value) { s_powerState.store(value, std::memory_order_release); }

void Trx_ShadowGuard::reset() {
    setAutoInfo(0);
    setPowerState(0);
}

}  // namespace tqm
