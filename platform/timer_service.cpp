#include "platform/timer_service.h"

#include <pthread.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <thread>

namespace tqm {
namespace {

using Clock = std::chrono::steady_clock;

struct TimerEntry {
    TimerService::Tick tick;
    std::chrono::milliseconds period{0};
    bool running = false;
    Clock::time_point due;
    unsigned long ticks = 0;
};

class TimerEngine {
public:
    static TimerEngine& instance() {
        // Never destroyed: a worker that ticks during process exit finds it intact.
        static TimerEngine* s_engine = new TimerEngine;
        return *s_engine;
    }

    void setHandler(TimerId id, TimerService::Tick tick) {
        {
            std::lock_guard lock(m_mutex);
            m_timers[id].tick = std::move(tick);
        }
        m_wake.notify_all();  // a running timer may have become worth waking for
    }

    bool set(TimerId id, std::chrono::milliseconds period) {
        if (period.count() <= 0) return false;
        bool sooner = false;
        {
            std::lock_guard lock(m_mutex);
            if (m_stopped) return false;
            TimerEntry& entry = m_timers[id];
            entry.period = period;
            entry.running = true;
            entry.due = Clock::now() + period;
            startThreadLocked();
            // A restart that falls due later than the thread's wait ends needs no
            // wake-up: the thread looks again when its wait ends (the reply watchdog
            // is restarted with every reply).
            sooner = entry.due < m_waitingUntil;
        }
        if (sooner) m_wake.notify_all();
        return true;
    }

    bool kill(TimerId id) {
        std::lock_guard lock(m_mutex);
        auto it = m_timers.find(id);
        if (it == m_timers.end() || !it->second.running) return false;
        it->second.running = false;
        return true;
    }

    bool isRunning(TimerId id) const {
        std::lock_guard lock(m_mutex);
        auto it = m_timers.find(id);
        return it != m_timers.end() && it->second.running;
    }

    unsigned long tickCount(TimerId id) const {
        std::lock_guard lock(m_mutex);
        auto it = m_timers.find(id);
        if (it == m_timers.end()) return 0;
        const TimerEntry& entry = it->second;
        if (entry.tick || !entry.running || Clock::now() < entry.due) return entry.ticks;
        return entry.ticks + 1 + static_cast<unsigned long>((Clock::now() - entry.due) / entry.period);
    }

    // Clears every timer and ends the thread. stopped: set() refuses until the next
    // reset. From inside a tick the thread cannot wait for itself: it is let go and
    // ends once the tick returns.
    void end(bool stopped) {
        std::thread thread;
        {
            std::lock_guard lock(m_mutex);
            m_timers.clear();
            m_stopped = stopped;
            ++m_generation;  // the running thread leaves its loop
            thread = std::move(m_thread);
        }
        m_wake.notify_all();
        if (!thread.joinable()) return;
        if (thread.get_id() == std::this_thread::get_id()) {
            thread.detach();
        } else {
            thread.join();
        }
    }

private:
    void startThreadLocked() {
        if (m_thread.joinable()) return;
        m_thread = std::thread([this, generation = m_generation] { run(generation); });
    }

    void run(std::uint64_t generation) {
        pthread_setname_np(pthread_self(), "tqm-timers");
        std::unique_lock lock(m_mutex);
        while (m_generation == generation) {
            Clock::time_point next = Clock::time_point::max();
            TimerId dueId = 0;
            bool found = false;
            for (const auto& [id, entry] : m_timers) {
                // A tick that does nothing is not worth a wake-up; its count is made up on demand.
                if (entry.running && entry.tick && entry.due < next) {
                    next = entry.due;
                    dueId = id;
                    found = true;
                }
            }
            if (!found) {
                m_waitingUntil = Clock::time_point::max();
                m_wake.wait(lock);
                m_waitingUntil = Clock::time_point::min();
                continue;
            }
            if (Clock::now() < next) {
                m_waitingUntil = next;
                m_wake.wait_until(lock, next);
                m_waitingUntil = Clock::time_point::min();
                continue;
            }
            TimerEntry& entry = m_timers[dueId];
            entry.due += entry.period;
            const auto now = Clock::now();
            if (entry.due <= now) entry.due = now + entry.period;  // missed ticks are not caught up
            ++entry.ticks;
            TimerService::Tick tick = entry.tick;
            lock.unlock();
            if (tick) tick();
            lock.lock();
        }
    }

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::map<TimerId, TimerEntry> m_timers;
    std::thread m_thread;
    std::uint64_t m_generation = 0;  // a thread runs while this is the value it started with
    // When the thread's wait ends: min() while it is not waiting (it looks at every
    // timer before it waits again), max() while it waits for a timer to be set.
    Clock::time_point m_waitingUntil = Clock::time_point::min();
    bool m_stopped = false;
};

}  // namespace

void TimerService::setHandler(TimerId id, Tick tick) { TimerEngine::instance().setHandler(id, std::move(tick)); }
bool TimerService::set(TimerId id, std::chrono::milliseconds period) {
    return TimerEngine::instance().set(id, period);
}
bool TimerService::kill(TimerId id) { return TimerEngine::instance().kill(id); }
bool TimerService::isRunning(TimerId id) const { return TimerEngine::instance().isRunning(id); }
unsigned long TimerService::tickCount(TimerId id) const { return TimerEngine::instance().tickCount(id); }
void TimerService::reset() { TimerEngine::instance().end(false); }
void TimerService::stopAll() { TimerEngine::instance().end(true); }

}  // namespace tqm
