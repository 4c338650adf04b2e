#include "sim/line_faults.h"

#include "sim/sim_line.h"
#include "sim/transceiver_model.h"

namespace tqm::sim {

void LineFaults::setSilent(bool silent) {
    std::lock_guard lock(m_mutex);
    m_line.setSilent(silent);
}

void LineFaults::setRefuseAi(bool refuse) {
    std::lock_guard lock(m_mutex);
    m_model.setRefuseAi(refuse);
}

void LineFaults::setReplyDelay(std::chrono::milliseconds delay) {
    std::lock_guard lock(m_mutex);
    m_line.setReplyDelay(delay);
}

bool LineFaults::setNoiseRate(double rate) {
    std::lock_guard lock(m_mutex);
    return m_line.setNoiseRate(rate);
}

bool LineFaults::setDropRate(double rate) {
    std::lock_guard lock(m_mutex);
    return m_line.setDropRate(rate);
}

bool LineFaults::unplug() {
    {
        std::lock_guard lock(m_mutex);
        if (!m_line.unplug()) {
            return false;
        }
    }
    m_line.wake();
    return true;
}

bool LineFaults::plugIn() {
    {
        std::lock_guard lock(m_mutex);
        if (!m_line.plugIn()) {
            return false;
        }
    }
    m_line.wake();
    return true;
}

}  // namespace tqm::sim
