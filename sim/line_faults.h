#pragma once

#include <chrono>
#include <mutex>

namespace tqm::sim {

class SimLine;
class TransceiverModel;

// The faults between the program and the radio, switched while the simulator runs.
// Every member may be called from any thread.
class LineFaults final {
public:
    LineFaults(const LineFaults&) = delete;
    LineFaults& operator=(const LineFaults&) = delete;

    // Silence drops whatever was about to be sent and sends nothing until it ends.
    void setSilent(bool silent);
    // The radio ignores "AI1;": auto information stays off.
    void setRefuseAi(bool refuse);
    void setReplyDelay(std::chrono::milliseconds delay);
    // Chances per sent byte, 0..1; false, changing nothing, outside that range.
    bool setNoiseRate(double rate);
    bool setDropRate(double rate);

    // The adapter pulled out (the program's reads fail with EIO) and put back. Put
    // back, the pseudo-terminal has a new device path; the symlink, if any, is
    // removed when pulled and points at the new device again. Each is false when
    // the adapter is already in that state or cannot be put back (the simulator's
    // errorText() says why).
    bool unplug();
    bool plugIn();

private:
    friend class SimulatedTransceiver;

    LineFaults(std::mutex& mutex, TransceiverModel& model, SimLine& line)
        : m_mutex(mutex), m_model(model), m_line(line) {}

    std::mutex& m_mutex;
    TransceiverModel& m_model;
    SimLine& m_line;
};

}  // namespace tqm::sim
