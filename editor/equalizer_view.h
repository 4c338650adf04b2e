#pragma once

#include <string_view>

namespace tqm {

// What the equalizer model asks of the window that shows it.
class EqualizerView {
public:
    virtual ~EqualizerView() = default;
    // Writes the text of a value static or a group-box caption (by control id).
    virtual void setControlText(int controlId, std::string_view text) = 0;
    // Redraws the graph at once with the shown values of the current set.
    virtual void redrawGraph() = 0;
    // Schedules a full repaint (TIMER_REFRESH).
    virtual void scheduleRepaint() = 0;
};

}  // namespace tqm
