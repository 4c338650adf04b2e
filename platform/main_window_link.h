#pragma once

#include <memory>

#include "platform/messages.h"

namespace tqm {

// Completion of one synchronous send: the window calls complete() once it has
// handled the message. Retracting the window completes every open ticket.
class SendTicket {
public:
    virtual ~SendTicket() = default;
    virtual void complete() = 0;
};

// What the main window offers the link: it takes messages for its own thread.
class WindowEndpoint {
public:
    virtual ~WindowEndpoint() = default;
    // Queues the message for the window's thread; must not block. A send carries a
    // ticket that the window completes after handling; a post carries none.
    virtual void deliver(const Message& message, std::shared_ptr<SendTicket> ticket) = 0;
    // True when called on the window's own thread (a send there is handled inline).
    virtual bool isWindowThread() const = 0;
    // Handles the message at once on the window's thread.
    virtual void handleNow(const Message& message) = 0;
};

// The process-wide way to the main window. The window publishes itself after
// construction and retracts itself before destruction; with no window published
// posts and sends return false at once.
//
// Data-less access object: construct it where needed and drop it.
class MainWindowLink final {
public:
    void publish(WindowEndpoint* window);
    // Blocks until posts and sends that are under way have been handed over; releases
    // every sender that waits.
    void retract();
    bool isPublished() const;

    // Queues a window message; false when no window is published.
    bool post(MessageId id, std::uintptr_t wParam = 0, std::intptr_t lParam = 0);
    // Blocks until the window has handled the message or has been retracted. False when
    // no window is published or it was retracted before handling.
    bool send(MessageId id, std::uintptr_t wParam = 0, std::intptr_t lParam = 0);
};

}  // namespace tqm
