#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/messages.h"

namespace tqm {

// A thread with a FIFO of messages, driven only by posted messages.
//
// Owners hold a worker in a std::shared_ptr; while the thread runs it holds a
// reference of its own, so a worker that was abandoned by a bounded stop lives
// on until it ends (or the process does) and never crashes the process at exit.
class WorkerThread : public std::enable_shared_from_this<WorkerThread> {
public:
    explicit WorkerThread(std::string name);
    virtual ~WorkerThread();

    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Starts the thread. False when it was started before.
    bool start();

    // Queues a message for the thread; false when the thread is not running.
    bool post(MessageId id, std::uintptr_t wParam = 0, std::intptr_t lParam = 0);

    // True from start() until the thread function has returned.
    bool isAlive() const { return m_alive.load(std::memory_order_acquire); }

    // Blocks up to maxPosts * interval: posts UWM_THREAD_QUIT until the thread has
    // ended, waiting interval between posts. True when it ended, false when it was
    // abandoned.
    bool stop(int maxPosts = 52, std::chrono::milliseconds interval = std::chrono::milliseconds(100));

    const std::string& name() const { return m_name; }

    // Number of messages waiting in the queue.
    std::size_t pendingCount() const;

protected:
    // Runs one message on the thread.
    virtual void handle(const Message& message) = 0;
    // Runs on the thread before the first message.
    virtual void onThreadStart() {}
    // Runs on the thread after the last message.
    virtual void onThreadExit() {}

    // For a thread that waits on descriptors besides its queue. Call before start():
    // from then on every post also makes wakeDescriptor() readable, and while the queue
    // is empty the thread runs waitIdle() instead of sleeping on the queue alone.
    bool useWakeDescriptor();
    int wakeDescriptor() const { return m_wakeFd; }
    // Empties the wake descriptor; the loop then looks at the queue again.
    void clearWake();
    // Runs on the thread while its queue is empty (with a wake descriptor only):
    // blocks until wakeDescriptor() is readable, or until something of the thread's
    // own has come and been handled.
    virtual void waitIdle() {}

    // Ends the message loop once the running handler returns.
    void endThread() { m_endRequested = true; }
    // The usual UWM_THREAD_QUIT handler for message maps.
    void quit(const Message&) { endThread(); }

private:
    void run();

    const std::string m_name;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Message> m_queue;
    std::thread m_thread;
    std::atomic<bool> m_started{false};
    std::atomic<bool> m_alive{false};
    std::atomic<bool> m_accepting{false};
    bool m_endRequested = false;  // touched on the thread only
    int m_wakeFd = -1;            // eventfd, when the thread waits on descriptors
};

// A worker thread whose messages are dispatched through a static table of
// {message number -> member function} that the derived class declares, public,
// at the end of its body (after the handlers are declared):
//
//   static constexpr MessageMapEntry s_messageMap[] = {
//       {UWM_THREAD_QUIT, &Derived::quit}, {UWM_ANL_REPLY, &Derived::onReply}};
//
// Messages that are not in the table are dropped.
template <class Derived>
class MappedWorkerThread : public WorkerThread {
public:
    struct MessageMapEntry {
        MessageId id;
        void (Derived::*handler)(const Message&);
    };

protected:
    using WorkerThread::WorkerThread;

    void handle(const Message& message) final {
        for (const MessageMapEntry& entry : Derived::s_messageMap) {
            if (entry.id == message.id) {
                (static_cast<Derived*>(this)->*entry.handler)(message);
                return;
            }
        }
    }
};

}  // namespace tqm
