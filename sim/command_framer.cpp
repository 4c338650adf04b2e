#include "sim/command_framer.h"

namespace tqm::sim {
namespace {

constexpr bool isLetter(char c) { return c >= 'A' && c <= 'Z'; }

}  // namespace

void CommandFramer::feed(const char* data, std::size_t size, std::vector<std::string>& out) {
    for (std::size_t i = 0; i < size; ++i) {
        take(data[i], out);
    }
}

void CommandFramer::reset() {
    m_discarded += m_pending.size();
    m_pending.clear();
    m_skipToTerminator = false;
}

void CommandFramer::take(char c, std::vector<std::string>& out) {
    if (m_skipToTerminator) {
        ++m_discarded;
        m_skipToTerminator = c != ';';
        return;
    }
    if (m_pending.size() < 2) {
        if (isLetter(c)) {
            m_pending += c;
            return;
        }
        // Garbage: whatever came before it cannot start a command.
        m_discarded += m_pending.size() + 1;
        m_pending.clear();
        return;
    }
    m_pending += c;
    if (c == ';') {
        out.push_back(std::move(m_pending));
        m_pending.clear();
        return;
    }
    if (m_pending.size() >= kMaxCommandLength) {
        m_discarded += m_pending.size();
        m_pending.clear();
        m_skipToTerminator = true;
    }
}

}  // namespace tqm::sim
