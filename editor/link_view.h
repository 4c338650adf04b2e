#pragma once

#include <chrono>

#include "editor/link_state.h"

namespace tqm {

// What the link handling asks of the window that shows the link.
class LinkView {
public:
    virtual ~LinkView() = default;
    // Blocks (a nested event loop) until closeConnectingBox() is called; a headless
    // view may return at once.
    virtual void runConnectingBox() = 0;
    virtual void closeConnectingBox() = 0;
    // Blocks (a nested event loop) until the operator closes the box.
    virtual void showNotice(int stringId) = 0;
    virtual void setLamp(bool on) = 0;
    // The connection time-out (TIMER_CONNECT); its tick calls LinkHandler::onConnectTimer.
    virtual void startConnectTimer() = 0;
    virtual void stopConnectTimer() = 0;
    virtual void startPoll() = 0;
    // Blocks 25 ms after stopping the poll, to pace the commands.
    virtual void stopPoll() = 0;
    // Draws the grid with no curves.
    virtual void drawEmptyGraph() = 0;
    // Draws the curves of the shown values with the active band on top.
    virtual void showGraph() = 0;
    // Starts the one-shot full repaint (TIMER_REPAINT, 100 ms).
    virtual void scheduleRepaint() = 0;
    // Blocks the window's thread for the given time, to pace the commands; nothing is
    // handled meanwhile.
    virtual void pause(std::chrono::milliseconds duration) = 0;
    // The link went into another state (the connecting box is not open yet when it
    // becomes Connecting). A view without a status line ignores it.
    virtual void showLinkState(LinkState) {}
};

}  // namespace tqm
