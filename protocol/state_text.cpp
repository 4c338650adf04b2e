#include "protocol/state_text.h"

#include <algorithm>

namespace tqm {

void StateText::reset(std::int32_t limit) {
    const std::uint32_t sequence = beginWrite();
    fill(nullptr, 0);
    m_limit.store(limit, std::memory_order_relaxed);
    endWrite(sequence);
}

bool StateText::set(std::int32_t length, const char* text) {
    if (text == nullptr || length < 0 || length > limit()) return false;
    const std::size_t most = std::min<std::size_t>(static_cast<std::size_t>(length), kAreaSize - 1);
    std::size_t count = 0;
    while (count < most && text[count] != '\0') ++count;
    const std::uint32_t sequence = beginWrite();
    fill(text, count);
    endWrite(sequence);
    return true;
}

std::string StateText::get() const {
    std::array<char, kAreaSize> copy{};
    for (;;) {
        const std::uint32_t before = m_sequence.load(std::memory_order_acquire);
        if (before % 2 != 0) continue;
        // Acquire loads: a character from a write that has begun makes that write's
        // odd count visible to the check below.
        for (std::size_t i = 0; i < kAreaSize; ++i) copy[i] = m_area[i].load(std::memory_order_acquire);
        if (m_sequence.load(std::memory_order_relaxed) == before) break;
    }
    const auto end = std::find(copy.begin(), copy.end(), '\0');
    return std::string(copy.begin(), end);
}

std::uint32_t StateText::beginWrite() {
    std::uint32_t sequence = m_sequence.load(std::memory_order_relaxed);
    for (;;) {
        if (sequence % 2 == 0 &&
            m_sequence.compare_exchange_weak(sequence, sequence + 1, std::memory_order_acquire,
                                             std::memory_order_relaxed)) {
            break;
        }
        sequence = m_sequence.load(std::memory_order_relaxed);
    }
    return sequence + 1;
}

void StateText::endWrite(std::uint32_t sequence) { m_sequence.store(sequence + 1, std::memory_order_release); }

// Release stores: a reader that sees one of these characters also sees the odd count
// stored before it.
void StateText::fill(const char* text, std::size_t count) {
    for (std::size_t i = 0; i < kAreaSize; ++i) {
        m_area[i].store(i < count ? text[i] : '\0', std::memory_order_release);
    }
}

}  // namespace tqm
