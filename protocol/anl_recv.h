#pragma once

#include <chrono>
#include <cstdint>

namespace tqm {

// Data-less access object to the reply-analysis thread (Anl_Recv_Thread): any
// thread constructs one on its stack, calls and drops it. The running thread is
// filed in the thread directory under WorkerRole::AnlRecv.
class Anl_Recv final {
public:
    // Starts a new reply-analysis thread and files it. False when it did not start.
    bool start();
    // Blocks up to maxPosts * interval: posts UWM_THREAD_QUIT until the thread has
    // ended. True when it ended (or none ran), false when it was abandoned.
    bool stop(int maxPosts = 52, std::chrono::milliseconds interval = std::chrono::milliseconds(100));
    bool isAlive() const;
    // Asks the thread to take one reply from the receive queue (UWM_ANL_REPLY).
    bool postReply() const;
    // Reports that the reply watchdog found no reply (UWM_ANL_LINK_LOST).
    bool signalLinkLost() const;

    std::uint8_t getAiOnSent() const;
    void setAiOnSent(std::uint8_t value);
};

}  // namespace tqm
