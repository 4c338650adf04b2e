#include "protocol/link_flags.h"

#include <atomic>

namespace tqm {
namespace {

std::atomic<std::uint8_t> s_aiOnSent{0};
std::atomic<std::uint8_t> s_replyPending{0};

}  // namespace

std::uint8_t LinkFlags::aiOnSent() const { return s_aiOnSent.load(std::memory_order_acquire); }
void LinkFlags::setAiOnSent(std::uint8_t value) { s_aiOnSent.store(value, std::memory_order_release); }
std::uint8_t LinkFlags::replyPending() const { return s_replyPending.load(std::memory_order_acquire); }
void LinkFlags::setReplyPending(std::uint8_t value) { s_replyPending.store(value, std::memory_order_release); }

void LinkFlags::reset() {
    setAiOnSent(0);
    setReplyPending(0);
}

}  // namespace tqm
